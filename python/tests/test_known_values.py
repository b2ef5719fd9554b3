"""Every value of the table against what the known-values generator meant:
the coordinates the double nearest each decimal written, the rest the float
nearest it, NaN where the file leaves the value empty or the sounding lacks
its column's component; read in one piece (a path) and in pieces (a stream,
which is read in pieces past its first soundings)."""

import io
import json
import math

import numpy as np
import pytest

import korvan2col


def judge(survey, truth_path):
    truth = json.loads(truth_path.read_text())
    arrays = survey.arrays
    names = list(arrays)
    assert names[:5] == ["sounding", "line", "x", "y", "height"]
    np.testing.assert_array_equal(arrays["sounding"], np.arange(1, len(truth) + 1))
    assert all(len(row) == len(names) - 2 for row in truth)
    for f, name in enumerate(names[2:]):
        dtype = np.float64 if f < 2 else np.float32
        assert arrays[name].dtype == dtype, name
        meant = np.array([math.nan if row[f] is None else row[f] for row in truth], dtype=dtype)
        np.testing.assert_array_equal(arrays[name], meant, err_msg=f"{truth_path.name}, column {name}")


@pytest.mark.parametrize("how, first_seed, count, soundings", [
    ("path", 1, 200, None),
    ("stream", 1, 40, None),
    ("stream", 1000, 3, (6000, 9000)),
])
def test_every_value_as_the_generator_meant(known_surveys, how, first_seed, count, soundings):
    for survey_path, truth_path in known_surveys(first_seed, count, soundings):
        source = survey_path if how == "path" else io.BytesIO(survey_path.read_bytes())
        judge(korvan2col.read(source), truth_path)
