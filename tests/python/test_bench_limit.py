"""The benchmark's limit program must do all the work it stands for (a program that skipped
names or wrote less output would make every engine look slow), and targets whose threshold is
another figure of the run must be judged against that figure."""

from __future__ import annotations

import shutil
import sys
from pathlib import Path

import pytest

sys.path.insert(0, str(Path(__file__).resolve().parents[2] / "bench"))

import limit_program
import run_bench


@pytest.fixture(scope="module")
def limit():
    if shutil.which("g++") is None:
        pytest.skip("no g++ to build the limit program")
    return limit_program.build()


# document, (lines, numbers, printed results, names, distinct names)
DOCUMENTS = [
    ("x = 3 m\ny = -2.5 * x\nx =? km\n", (3, 2, 1, 6, 4)),
    ("'''\\alpha_{1} and v_0'''\nv_0 = 10 m/s^2", (2, 2, 0, 6, 5)),
    ("\n\n  \t\n1+1+1+1 =?", (4, 4, 1, 0, 0)),
    ("F=m*a\r\nF=?\nG = F =?\n= ?", (4, 0, 2, 6, 4)),
]


@pytest.mark.parametrize("document, expected", DOCUMENTS)
@pytest.mark.parametrize("output_bytes", [0, 7, 50_000])
def test_every_line_number_and_name_is_handled_and_the_output_has_the_engines_size(
    limit, document, expected, output_bytes
):
    figures = limit_program.measure(limit, document, output_bytes, 0.0)
    keys = ("lines", "numbers", "results", "names", "distinct_names")
    counts = tuple(figures[key] for key in keys)
    assert counts == expected
    assert figures["output_bytes"] == output_bytes
    assert figures["input_bytes"] == len(document.encode())
    assert figures["runs"] >= 3


@pytest.mark.parametrize(
    "scaling, limit_scaling, status",
    [(9.0, 10.0, "PASS"), (10.0, 10.0, "PASS"), (11.0, 10.0, "FAIL"), (11.0, None, "SKIP")],
)
def test_a_target_against_another_figure_of_the_run(scaling, limit_scaling, status):
    figures = {"scaling_1m": scaling, "limit_scaling_1m": limit_scaling}
    row = next(r for r in run_bench.evaluate_targets(figures) if r["target"] == "scaling_1m")
    assert (row["status"], row["threshold"]) == (status, limit_scaling)
