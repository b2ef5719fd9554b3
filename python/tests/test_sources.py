"""A path (str or os.PathLike, plain or gzip), a file object read through
its descriptor from its position, and any other binary stream read through
readinto() give the same table; the table shares the arrays' memory."""

import gzip
import io
import pathlib

import numpy as np
import pytest

import korvan2col

EXAMPLE = pathlib.Path(__file__).resolve().parents[2] / "examples" / "survey_multi.prd"
PREFIX = b"bytes before the survey\n"


def sources(tmp_path):
    data = EXAMPLE.read_bytes()
    (tmp_path / "s.prd.gz").write_bytes(gzip.compress(data))
    (tmp_path / "after.prd").write_bytes(PREFIX + data)
    after = open(tmp_path / "after.prd", "rb")
    after.read(len(PREFIX))
    raw_after = open(tmp_path / "after.prd", "rb", buffering=0)
    raw_after.seek(len(PREFIX))
    return [
        ("str", str(EXAMPLE)),
        ("PathLike", EXAMPLE),
        ("gzip path", tmp_path / "s.prd.gz"),
        ("BufferedReader", open(EXAMPLE, "rb")),
        ("BufferedReader at its position", after),
        ("FileIO at its position", raw_after),
        ("GzipFile", gzip.open(tmp_path / "s.prd.gz")),
        ("BytesIO", io.BytesIO(data)),
    ]


def test_every_source_reads_alike(tmp_path):
    expected = korvan2col.read(str(EXAMPLE)).table
    for name, source in sources(tmp_path):
        position = source.tell() if hasattr(source, "tell") else None
        table = korvan2col.read(source).table
        assert table.equals(expected), name
        if isinstance(source, (io.BufferedReader, io.FileIO)):
            assert source.tell() == position, name


class Failing(io.RawIOBase):
    def readable(self):
        return True

    def readinto(self, into):
        raise OSError("the tape is stuck")


def test_a_stream_that_raises_raises_through_read():
    with pytest.raises(OSError, match="the tape is stuck"):
        korvan2col.read(Failing())


def test_table_shares_the_arrays():
    survey = korvan2col.read(EXAMPLE)
    assert [str(a.dtype) for a in survey.arrays.values()] == ["int32", "int32", "float64", "float64"] + ["float32"] * 8
    for name, array in survey.arrays.items():
        assert np.shares_memory(survey.table[name].to_numpy(), array), name


def test_channels():
    survey = korvan2col.read(EXAMPLE)
    assert [(c.name, c.frequency, c.orientation, c.component) for c in survey.channels] == [
        ("900Hz_z_inphase", 900.0, "z", "inphase"),
        ("900Hz_z_quadrature", 900.0, "z", "quadrature"),
        ("900Hz_x_inphase", 900.0, "x", "inphase"),
        ("900Hz_x_quadrature", 900.0, "x", "quadrature"),
        ("7200Hz_z_inphase", 7200.0, "z", "inphase"),
        ("7200Hz_y_quadrature", 7200.0, "y", "quadrature"),
        ("56000Hz_z_quadrature", 56000.0, "z", "quadrature"),
    ]
    assert survey.channel(7200, "quadrature") == "7200Hz_y_quadrature"


@pytest.mark.parametrize("source", [io.StringIO("1\n"), 42], ids=["text stream", "number"])
def test_what_is_no_source_is_refused(source):
    with pytest.raises(TypeError, match="takes a path or a binary file object"):
        korvan2col.read(source)
