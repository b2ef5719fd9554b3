"""Predicted-data surveys in the KORVAN format, read into numpy and pandas.

    import korvan2col
    survey = korvan2col.read("survey.prd")
    survey.table            # a pandas DataFrame, the columns of `korvan2col --format csv`
    survey.arrays           # the same columns as numpy arrays, sharing their memory
    survey.channels         # name, frequency (Hz), transmitter orientation, component
    survey.warnings         # what the command would warn of

A fault of the data raises DataError (NotSuitableError where the data fit
no column layout), at the place the command names on standard error.
"""

import io
import os
import re
from dataclasses import dataclass

from ._korvan2col import _read

__all__ = ["read", "Survey", "Channel", "DataError", "NotSuitableError"]


class DataError(Exception):
    """A fault of the data, where the command would stop.

    file, line, column: the place of the fault (line and column None where
    the stop names no place); message: what standard error says there;
    stop: the console's "Stop: ..." line; details: every standard-error line.
    """

    def __init__(self, stop, details, file):
        self.stop = stop
        self.details = list(details)
        self.file = file
        self.line = None
        self.column = None
        self.message = stop
        if self.details:
            self.message = self.details[0]
            self.line, self.column, self.message = _place(self.details[0], file)
        super().__init__(f"{file}:{self.line}:{self.column}: {self.message}" if self.line else
                         f"{file}: {self.message}")


class NotSuitableError(DataError):
    """Data that fit no column layout (the command's "Stop 'cause data not
    suitable for column format")."""


class _Stop(Exception):
    """The reader's stop, as the extension raises it: (console line, standard-error lines)."""


_NOT_SUITABLE = "Stop 'cause data not suitable for column format"
_ARRAYS_REFUSED = "Stop: error allocating space for arrays."


def _place(detail, file):
    """LINE, COLUMN and the message of "FILE:LINE:COLUMN: message" (or of "FILE: message")."""
    rest = detail[len(file) + 1:] if detail.startswith(file + ":") else detail
    found = re.match(r"(\d+):(\d+): (.*)", rest, re.S)
    if found:
        return int(found[1]), int(found[2]), found[3]
    return None, None, rest.lstrip()


@dataclass(frozen=True)
class Channel:
    """A data column: its name in the table, its frequency in Hz, the
    transmitter's orientation ("x", "y" or "z") and the component
    ("inphase" or "quadrature")."""
    name: str
    frequency: float
    orientation: str
    component: str


class Survey:
    """A survey read by read(): .table, .arrays, .channels, .warnings, .source."""

    def __init__(self, source, columns, channels, warnings):
        self.source = source
        self.arrays = dict(columns)
        self.channels = [Channel(*c) for c in channels]
        self.warnings = list(warnings)
        self._table = None

    @property
    def table(self):
        """A pandas DataFrame over the arrays (made once, sharing their memory)."""
        if self._table is None:
            import pandas
            self._table = pandas.DataFrame(self.arrays, copy=False)
        return self._table

    def channel(self, frequency, component, orientation=None):
        """The name of the column of that frequency (Hz) and component, and
        orientation where more than one has them."""
        found = [c.name for c in self.channels
                 if c.frequency == frequency and c.component == component
                 and orientation in (None, c.orientation)]
        if len(found) != 1:
            raise KeyError(f"{len(found)} columns of {frequency} Hz, {component}"
                           + (f", orientation {orientation}" if orientation else ""))
        return found[0]

    def __repr__(self):
        rows = len(next(iter(self.arrays.values())))
        return f"<korvan2col.Survey {self.source!r}: {rows} soundings, {len(self.channels)} channels>"


def _stream_name(stream):
    name = getattr(stream, "name", None)
    return name if isinstance(name, str) else f"<{type(stream).__name__}>"


def read(source, strict=False, line_gap=None):
    """Reads a survey: `source` a path (str or os.PathLike, plain or gzip) or
    a binary file object. An io.FileIO or io.BufferedReader on a file is read
    through its descriptor from its tell() position (which it leaves where
    it was); any other through readinto() in chunks. strict=True raises on
    what `korvan2col --strict` refuses; line_gap (metres) is the step that
    ends a flight line, else five median steps.

    Raises DataError (NotSuitableError), FileNotFoundError, MemoryError.
    """
    path = fd = stream = None
    offset = 0
    if isinstance(source, (str, os.PathLike)):
        path = os.fspath(source)
        if isinstance(path, bytes):
            path = os.fsdecode(path)
        name = path
    else:
        if isinstance(source, io.TextIOBase) or not (hasattr(source, "readinto") or hasattr(source, "read")):
            raise TypeError("korvan2col.read() takes a path or a binary file object (open(name, 'rb')), "
                            f"not {type(source).__name__}")
        name = _stream_name(source)
        if isinstance(source, (io.FileIO, io.BufferedReader)) and source.seekable():
            fd, offset = source.fileno(), source.tell()
        else:
            stream = source
    try:
        result = _read(path, fd, offset, stream, name, bool(strict),
                       None if line_gap is None else float(line_gap), _Stop)
    except _Stop as stop:
        line, details = stop.args
        if line == _ARRAYS_REFUSED:
            raise MemoryError(line) from None
        error = NotSuitableError if line.startswith(_NOT_SUITABLE) else DataError
        raise error(line, details, name) from None
    return Survey(source if path is None else path, result["columns"], result["channels"], result["warnings"])
