"""What the package's tests share: the programs that make their surveys and
their truth (paths from the environment that ctest sets), and the command's
CSV of a survey, read with Python's csv module."""

import csv
import os
import subprocess

import pytest


def program(variable):
    path = os.environ.get(variable)
    if not path:
        pytest.fail(f"{variable} is not set: run these tests through ctest (make test)")
    return path


@pytest.fixture
def command_csv(tmp_path):
    """The header and rows of `korvan2col --format csv SURVEY`, as texts."""
    def convert(survey, *options):
        out = tmp_path / "vask.csv"
        subprocess.run([program("KORVAN2COL"), "--format", "csv", "-o", str(out), *options, str(survey)],
                       check=True, capture_output=True, cwd=tmp_path)
        with open(out, newline="") as f:
            rows = list(csv.reader(f))
        return rows[0], rows[1:]
    return convert


@pytest.fixture
def known_surveys(tmp_path):
    """Known-values surveys: (path of the survey, path of its truth) for each seed."""
    def make(first_seed, count, soundings=None):
        extra = [str(soundings[0]), str(soundings[1])] if soundings else []
        subprocess.run([program("KNOWN_SURVEY_FILES"), str(tmp_path), str(first_seed), str(count), *extra],
                       check=True)
        return [(tmp_path / f"{s}.prd", tmp_path / f"{s}.json") for s in range(first_seed, first_seed + count)]
    return make


@pytest.fixture
def flown_survey(tmp_path):
    """A survey flown in lines, with turns and tie lines, by the bench's generator."""
    def make(soundings, seed=1):
        path = tmp_path / f"flown{seed}.prd"
        subprocess.run([program("FLOWN_SURVEY"), "--soundings", str(soundings), "--seed", str(seed),
                        "--out", str(path)], check=True, capture_output=True)
        return path
    return make
