"""Runs the README's Python lines for loading vask.out and vask.csv and checks
what each loads: the column names and every value, against the numbers of
examples/survey_multi.prd (the CSV) and the fields of the bundled
examples/survey_multi.vask.out (five significant digits).

    readme_loading_check.py README COMPLETE_DIR MISSING_DIR

COMPLETE_DIR holds the rows of the example, MISSING_DIR those of the example
with sounding 2's 900 Hz z quadrature value left out (readme_test.sh makes
both). Run by readme_test.sh with a Python that has numpy and pandas.
"""
import math
import os
import re
import sys

CSV_NAMES = ["sounding", "line", "x", "y", "height",
             "900Hz_z_inphase", "900Hz_z_quadrature", "900Hz_x_inphase", "900Hz_x_quadrature",
             "7200Hz_z_inphase", "7200Hz_y_quadrature", "56000Hz_z_quadrature"]
# The sounding's number, its line (five soundings are too few for a flight
# line: 0), then the values.
CSV_ROWS = [
    [1, 0, 431250, 6781500, 30, 152.37, 88.41, 41.06, 0.042, 402.15, 97.6, 1204.8],
    [2, 0, 431262.5, 6781500.5, 31.5, 160.92, 93.05, 43.77, 0.051, 415.8, 101.33, 1187.25],
    [3, 0, 431275, 6781501, 29.25, 348.05, 215.3, 96.4, 12.68, 688.9, -3.75, 902.6],
    [4, 0, 431287.5, 6781501.5, 30.75, 297.4, 188.26, 82.15, 9.94, 640.2, 0.85, 955.1],
    [5, 0, 431300, 6781502, 33, 174.83, 102.9, 47.3, 0.063, 451.07, 88.12, 1150.4],
]
VASK_NAMES = ["x-coordinate", "y-coordinate", "height (m)",
              "900.000Hz, z orientation, inphase", "900.000Hz, z orientation, quadrature",
              "900.000Hz, x orientation, inphase", "900.000Hz, x orientation, quadrature",
              "7200.00Hz, z orientation, inphase", "7200.00Hz, y orientation, quadrature",
              "56000.0Hz, z orientation, quadrature"]
VASK_ROWS = [
    [431250.0, 6781500.0, 30.0, 152.37, 88.41, 41.06, 0.042, 402.15, 97.6, 1204.8],
    [431262.5, 6781500.5, 31.5, 160.92, 93.05, 43.77, 0.051, 415.8, 101.33, 1187.3],
    [431275.0, 6781501.0, 29.25, 348.05, 215.3, 96.4, 12.68, 688.9, -3.75, 902.6],
    [431287.5, 6781501.5, 30.75, 297.4, 188.26, 82.15, 9.94, 640.2, 0.85, 955.1],
    [431300.0, 6781502.0, 33.0, 174.83, 102.9, 47.3, 0.063, 451.07, 88.12, 1150.4],
]
# Where the value is missing: an empty field in the CSV, 0 in vask.out; the
# CSV has it two columns further on.
MISSING_ROW, CSV_MISSING_COLUMN, VASK_MISSING_COLUMN = 1, 6, 4

# What each README line must load, by the call and the file it reads: the
# column names (None where the result has none), the rows, and the missing
# value's column and what stands for it.
EXPECTED = {
    ("pd.read_csv", "vask.csv"): (CSV_NAMES, CSV_ROWS, CSV_MISSING_COLUMN, math.nan),
    ("np.genfromtxt", "vask.csv"): (CSV_NAMES, CSV_ROWS, CSV_MISSING_COLUMN, math.nan),
    ("csv.reader", "vask.csv"): (CSV_NAMES, CSV_ROWS, CSV_MISSING_COLUMN, math.nan),
    ("pd.read_csv", "vask.out"): (VASK_NAMES, VASK_ROWS, VASK_MISSING_COLUMN, 0.0),
    ("np.loadtxt", "vask.out"): (None, VASK_ROWS, VASK_MISSING_COLUMN, 0.0),
}
LOADER = re.compile(r'(pd\.read_csv|np\.genfromtxt|np\.loadtxt|csv\.reader)\(.*?"(vask\.(?:out|csv))"')


def readme_lines(readme):
    """The import line and the loading lines of the README's "Loading the
    rows", by call and file."""
    imports, loaders = [], {}
    section = None
    with open(readme, encoding="utf-8") as text:
        for line in text:
            if line.startswith("## "):
                section = line[3:].strip()
            if section != "Loading the rows" or not line.startswith("    "):
                continue
            code = line.strip()
            if code.startswith("import "):
                imports.append(code)
            elif (found := LOADER.search(code)) and " = " in code:
                key = found.groups()
                if key in loaders:
                    sys.exit(f"readme_loading_check: two README lines run {key[0]} on {key[1]}")
                loaders[key] = code
    return imports, loaders


def table_of(result):
    """The column names (or None) and the rows of what a line loaded, as floats."""
    if hasattr(result, "columns"):
        return list(result.columns), result.to_numpy().tolist()
    if hasattr(result, "dtype") and result.dtype.names:
        return list(result.dtype.names), [list(row) for row in result.tolist()]
    if hasattr(result, "dtype"):
        return None, result.tolist()
    names, *rows = result
    return names, [[float(field) if field else math.nan for field in row] for row in rows]


def same(got, want):
    return (math.isnan(got) and math.isnan(want)) if math.isnan(want) else got == want


def main(readme, complete_dir, missing_dir):
    imports, loaders = readme_lines(readme)
    if len(imports) != 1:
        sys.exit(f"readme_loading_check: README.md's 'Loading the rows' has {len(imports)} indented import lines,"
                 " not one")
    absent = [f"{call} on {file}" for call, file in EXPECTED if (call, file) not in loaders]
    if absent or len(loaders) != len(EXPECTED):
        sys.exit(f"readme_loading_check: README.md lacks loading lines ({', '.join(absent)}) "
                 f"or has others: {sorted(loaders)}")
    faults = []
    for key, line in loaders.items():
        names, rows, missing_column, missing_value = EXPECTED[key]
        rows_missing = [list(row) for row in rows]
        rows_missing[MISSING_ROW][missing_column] = missing_value
        for directory, want_rows in ((complete_dir, rows), (missing_dir, rows_missing)):
            os.chdir(directory)
            scope = {}
            exec(imports[0], scope)
            exec(line, scope)
            got_names, got_rows = table_of(scope[line.split(" = ")[0]])
            where = f"{line}\n  in {os.path.basename(directory)}:"
            if got_names != names:
                faults.append(f"{where} names {got_names}, not {names}")
            shape = [len(row) for row in got_rows]
            if shape != [len(row) for row in want_rows]:
                faults.append(f"{where} rows of {shape} values, not {[len(row) for row in want_rows]}")
                continue
            for r, (got_row, want_row) in enumerate(zip(got_rows, want_rows)):
                for c, (got, want) in enumerate(zip(got_row, want_row)):
                    if not same(got, want):
                        faults.append(f"{where} row {r + 1} column {c + 1} is {got!r}, not {want!r}")
    if faults:
        sys.exit("readme_loading_check:\n" + "\n".join(faults))
    print(f"readme_loading_check: {len(loaders)} README lines load what they should")


if __name__ == "__main__":
    main(*sys.argv[1:])
