"""A fault of the data raises DataError with the place and the words that
the command gives on standard error, and its stop line; data that fit no
column layout raise NotSuitableError; strict=True raises on what --strict
refuses; a missing file raises FileNotFoundError."""

import pytest

import korvan2col

SOUNDING_1 = "0 0 1\n900 1\n1 -30 z 1\n1 0 0 0 z 1 b 1.5 2.5\n"

FAULTS = [
    # name, file text, strict, error, line, column, message, stop
    ("receiver orientation", "2\n" + SOUNDING_1 + "10 0 1\n900 1\n1 -30 z 1\n1 0 0 0 w 1 b 1.5 2.5\n", False,
     korvan2col.DataError, 9, 9,
     'the receiver orientation is "w", not x, y or z (sounding 2, frequency 1, transmitter 1, receiver 1)',
     'Stop: invalid Rx orient. for (ir=1,it=1,ifreq=1,isound=2,file="f.prd").'),
    ("structure", "2\n" + SOUNDING_1 + "10 0 1\n900 x\n", False,
     korvan2col.DataError, 7, 5, 'the number of transmitters "x" is not a whole number (sounding 2, frequency 1)',
     "Stop: error reading no. of transmitters for frequency 1, sounding 2."),
    ("header", "two\n", False,
     korvan2col.DataError, 1, 1, 'the number of soundings "two" is not a whole number',
     'Stop: error reading number of soundings from "f.prd".'),
    ("two receivers", "2\n" + SOUNDING_1 + "10 0 1\n900 1\n1 -30 z 2\n1 0 0 0 z 1 b 1 2\n1 0 0 0 z 1 b 1 2\n", False,
     korvan2col.NotSuitableError, None, None,
     "Stop 'cause data not suitable for column format: number of receivers per transmitter not constant at 1.",
     "Stop 'cause data not suitable for column format: number of receivers per transmitter not constant at 1."),
    ("empty value, strictly", "2\n0 0 1\n900 1\n1 -30 z 1\n1 0 0 0 z 1 b,,2.5\n" + SOUNDING_1, True,
     korvan2col.DataError, 5, 15, "1 empty value (null, slash or r*) left empty; the first is in sounding 1",
     "Stop: empty value left empty at line 5 (sounding 1)."),
    ("header count, strictly", "3\n" + SOUNDING_1 + SOUNDING_1, True,
     korvan2col.DataError, None, None, "the header announces 3 soundings, the file holds 2",
     "Stop: the header announces 3 soundings, the file holds 2."),
]


@pytest.mark.parametrize("name, text, strict, error, line, column, message, stop", FAULTS, ids=[f[0] for f in FAULTS])
def test_fault_raises_at_its_place(tmp_path, monkeypatch, name, text, strict, error, line, column, message, stop):
    monkeypatch.chdir(tmp_path)
    (tmp_path / "f.prd").write_text(text)
    with pytest.raises(error) as raised:
        korvan2col.read("f.prd", strict=strict)
    e = raised.value
    assert type(e) is error
    assert (e.file, e.line, e.column, e.message, e.stop) == ("f.prd", line, column, message, stop)


def test_warnings_without_strict(tmp_path):
    path = tmp_path / "f.prd"
    path.write_text("3\n0 0 1\n900 1\n1 -30 z 1\n1 0 0 0 z 1 b,,2.5\n" + SOUNDING_1)
    assert korvan2col.read(path).warnings == [
        f"{path}: warning: the header announces 3 soundings, the file holds 2",
        f"{path}:5:15: warning: 1 empty value (null, slash or r*) left empty; the first is in sounding 1",
    ]


def test_missing_file(tmp_path):
    with pytest.raises(FileNotFoundError) as raised:
        korvan2col.read(tmp_path / "none.prd")
    assert raised.value.filename == str(tmp_path / "none.prd")
