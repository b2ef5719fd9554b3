"""The table equals the command's CSV of the same survey: the same column
names in the same order, and every field the same value (an empty field
NaN), for the bundled examples, known-values surveys and surveys flown in
lines (their line numbers)."""

import math
import pathlib

import numpy as np
import pytest

import korvan2col

EXAMPLES = pathlib.Path(__file__).resolve().parents[2] / "examples"


def same_as_csv(survey, header, rows):
    arrays = survey.arrays
    assert list(arrays) == header
    assert all(len(array) == len(rows) for array in arrays.values())
    for f, (name, array) in enumerate(arrays.items()):
        fields = [row[f] for row in rows]
        if array.dtype == np.int32:
            written = np.array([int(field) for field in fields], dtype=np.int32)
        else:
            # A float column's text is its value's shortest decimal: read as
            # a double, it rounds to that float.
            written = np.array([math.nan if field == "" else float(field) for field in fields]).astype(array.dtype)
        np.testing.assert_array_equal(array, written, err_msg=name)


@pytest.mark.parametrize("example", ["survey_basic.prd", "survey_multi.prd"])
def test_examples(command_csv, example):
    same_as_csv(korvan2col.read(EXAMPLES / example), *command_csv(EXAMPLES / example))


def test_known_values_surveys(command_csv, known_surveys):
    for survey_path, _ in known_surveys(500, 30):
        same_as_csv(korvan2col.read(survey_path), *command_csv(survey_path))


@pytest.mark.parametrize("soundings, seed, line_gap", [(3000, 1, None), (1200, 2, None), (3000, 3, 12.5)])
def test_surveys_flown_in_lines(command_csv, flown_survey, soundings, seed, line_gap):
    path = flown_survey(soundings, seed)
    survey = korvan2col.read(path, line_gap=line_gap)
    assert survey.arrays["line"].max() > 1
    same_as_csv(survey, *command_csv(path, *(["--line-gap", str(line_gap)] if line_gap else [])))
