"""The Python package on a big survey, timed inside one Python process after
the imports: korvan2col.read(survey).table next to the command converting
the survey to CSV (korvan2col --format csv, a child process) and next to
pandas.read_csv of that CSV, in paired runs (the three back to back, taking
turns at going first), with the call's peak memory: the peak resident size
while read() runs (the peak reset before it through /proc/self/clear_refs)
less the resident size before it, next to the bytes of the DataFrame's
columns.

usage: /usr/bin/python3 bench/python_bench.py --korvan BINARY --survey FILE
       --work DIR [--runs N] [--targets FILE]
(PYTHONPATH must lead to the built package: build/python.)
"""

import argparse
import gc
import os
import statistics
import subprocess
import time

import numpy as np
import pandas as pd

import korvan2col

MIB = 1 << 20


def status_kib(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    raise RuntimeError(f"no {field} in /proc/self/status")


def read_with_peak(survey):
    """The survey's table, and the peak resident bytes that reading it added."""
    gc.collect()
    with open("/proc/self/clear_refs", "w") as f:
        f.write("5")  # the peak resident size starts again from the present one
    before = status_kib("VmRSS")
    table = korvan2col.read(survey).table
    return table, (status_kib("VmHWM") - before) * 1024


def timed(work):
    start = time.perf_counter()
    result = work()
    return time.perf_counter() - start, result


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--korvan", required=True)
    parser.add_argument("--survey", required=True)
    parser.add_argument("--work", required=True)
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--targets")
    args = parser.parse_args()
    csv = os.path.join(args.work, "vask-python.csv")
    os.makedirs(args.work, exist_ok=True)

    def read():
        return korvan2col.read(args.survey).table

    def command():
        subprocess.run([args.korvan, "--format", "csv", "-o", csv, args.survey], check=True,
                       stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)

    def read_csv():
        return pd.read_csv(csv)

    table, peak = read_with_peak(args.survey)
    columns = sum(table[name].to_numpy().nbytes for name in table.columns)
    rows = len(table)
    del table
    read_s, command_s, pandas_s = [], [], []
    for run in range(args.runs):
        steps = [("read", read), ("command", command), ("pandas", read_csv)]
        if run % 2:
            steps.reverse()
        for name, work in steps:
            os.sync()
            gc.collect()
            seconds, result = timed(work)
            del result
            {"read": read_s, "command": command_s, "pandas": pandas_s}[name].append(seconds)
    # The CSV that pandas read holds what read() gave.
    check = pd.read_csv(csv)
    table = read()
    assert list(check.columns) == list(table.columns) and len(check) == rows
    assert np.array_equal(check["x"].to_numpy(), table["x"].to_numpy())

    ratio_command = statistics.median(r / c for r, c in zip(read_s, command_s))
    ratio_pandas = statistics.median(r / p for r, p in zip(read_s, pandas_s))
    size = os.path.getsize(args.survey)
    print(f"korvan2col.read() in /usr/bin/python3, {args.runs} paired runs (medians), {os.cpu_count()} cores:")
    print(f"{'survey':<7} {'soundings':>9} {'read s':>8} {'csv cmd s':>9} {'ratio':>6} {'read_csv s':>10} {'ratio':>6} "
          f"{'peak MiB':>8} {'cols MiB':>8} {'peak-cols':>9}")
    print(f"{size / 1e6:<7.0f} {rows:>9} {statistics.median(read_s):>8.3f} {statistics.median(command_s):>9.3f} "
          f"{ratio_command:>6.3f} {statistics.median(pandas_s):>10.3f} {ratio_pandas:>6.3f} "
          f"{peak / MIB:>8.1f} {columns / MIB:>8.1f} {(peak - columns) / MIB:>9.1f}")
    lines = [
        f"{size / 1e6:.0f} MB survey: read() {statistics.median(read_s):.3f} s, command to CSV "
        f"{statistics.median(command_s):.3f} s, read() / command by run {ratio_command:.3f}, target <= 1.3: "
        + ("met" if ratio_command <= 1.3 else "MISSED"),
        f"{size / 1e6:.0f} MB survey: read() / pandas.read_csv of the CSV by run {ratio_pandas:.3f}, "
        "target read() faster: " + ("met" if ratio_pandas < 1 else "MISSED"),
        f"{size / 1e6:.0f} MB survey: read()'s peak memory {peak / MIB:.1f} MiB, DataFrame's columns + 32 MiB = "
        f"{columns / MIB + 32:.1f} MiB: " + ("met" if peak <= columns + 32 * MIB else "MISSED"),
    ]
    if args.targets:
        with open(args.targets, "a") as f:
            f.write("\n".join(lines) + "\n")
    else:
        print("\n".join(lines))


if __name__ == "__main__":
    main()
