"""``--outdir``: one output per input and format, failures reported in input order with the
rest still written, and the usage errors that keep outputs from clobbering each other."""

import os
import pty
import shutil
import subprocess
import sys

import pytest
from conftest import EXAMPLES
from mensurator_py import run_mensurator


def command(*args, cwd=None):
    return subprocess.run(
        [sys.executable, "-m", "mensurator", *map(str, args)],
        capture_output=True,
        timeout=120,
        check=False,
        cwd=cwd,
    )


@pytest.fixture
def inputs(tmp_path):
    for name in ("beam", "circuit"):
        shutil.copy(EXAMPLES / f"{name}.txt", tmp_path / f"{name}.txt")
    (tmp_path / "broken.txt").write_text("x = 1 m\ny = x + 1 s =?\n", encoding="utf-8")
    return tmp_path


def test_flags_choose_formats_and_failures_leave_the_rest_written(inputs):
    completed = command(
        "--outdir",
        "out",
        "--html",
        "-o",
        "beam.txt",
        "broken.txt",
        "missing.txt",
        "circuit.txt",
        "--jobs",
        "2",
        cwd=inputs,
    )
    assert completed.returncode == 1
    written = sorted(path.name for path in (inputs / "out").iterdir())
    assert written == ["beam.html", "beam.tex", "circuit.html", "circuit.tex"]
    tex = (inputs / "out" / "beam.tex").read_text(encoding="utf-8")
    assert tex == run_mensurator((EXAMPLES / "beam.txt").read_text(encoding="utf-8")[:-1]) + "\n"
    stderr = completed.stderr.decode("utf-8")
    # Reported in the order of the inputs, and no progress bar off a terminal.
    assert stderr.index("broken.txt:2: error") < stderr.index("cannot read missing.txt")
    assert "\r" not in stderr


def test_check_summaries_and_fail_on_check_apply_per_input(inputs):
    (inputs / "checked.txt").write_text("a = 2 m\ncheck a > 3 m\n", encoding="utf-8")
    completed = command("--outdir", "out", "beam.txt", "checked.txt", cwd=inputs)
    assert completed.returncode == 0
    assert b"checked.txt: 1 check: 0 OK, 1 NOT OK" in completed.stderr
    failing = command("--outdir", "out", "--fail-on-check", "checked.txt", cwd=inputs)
    assert failing.returncode == 1 and (inputs / "out" / "checked.tex").is_file()


def test_latex_is_the_format_without_flags_and_header_options_apply(inputs):
    completed = command("--outdir", "out", "beam.txt", "--title", "Beam", cwd=inputs)
    assert (completed.returncode, completed.stderr) == (0, b"")
    assert "\\bfseries Beam" in (inputs / "out" / "beam.tex").read_text(encoding="utf-8")


def test_a_write_failure_is_reported_and_the_other_formats_written(inputs):
    (inputs / "out").mkdir()
    (inputs / "out" / "beam.html").mkdir()  # a directory where the page should go
    completed = command("--outdir", "out", "--html", "-o", "beam.txt", cwd=inputs)
    assert completed.returncode == 1
    assert b"cannot write out/beam.html" in completed.stderr
    assert (inputs / "out" / "beam.tex").is_file()


@pytest.mark.parametrize(
    "arguments, message",
    [
        (["beam.txt", "sub/beam.txt"], "beam.txt and sub/beam.txt would both be written"),
        (["-"], "standard input (-) has no name"),
        (["--body", "beam.txt"], "unrecognized arguments: --body"),
    ],
)
def test_usage_errors(inputs, arguments, message):
    (inputs / "sub").mkdir()
    shutil.copy(inputs / "beam.txt", inputs / "sub" / "beam.txt")
    completed = command("--outdir", "out", *arguments, cwd=inputs)
    assert completed.returncode == 2 and message in completed.stderr.decode("utf-8")
    assert not (inputs / "out").exists()


def test_an_output_that_is_an_input_is_refused(inputs):
    shutil.copy(inputs / "beam.txt", inputs / "beam.tex")
    completed = command("--outdir", ".", "-o", "beam.tex", cwd=inputs)
    assert completed.returncode == 2 and b"it would be overwritten" in completed.stderr


def test_several_files_with_one_output_file_point_to_outdir(inputs):
    completed = command("-o", "x.tex", "beam.txt", "circuit.txt", cwd=inputs)
    assert completed.returncode == 2 and b"or use --outdir DIR" in completed.stderr


def test_progress_on_a_terminal_comes_before_the_reports(inputs):
    controller, terminal = pty.openpty()
    try:
        completed = subprocess.run(
            [sys.executable, "-m", "mensurator", "--outdir", "out", "beam.txt", "broken.txt"],
            stderr=terminal,
            stdout=subprocess.PIPE,
            cwd=inputs,
            timeout=60,
            check=False,
        )
        os.close(terminal)
        shown = b""
        while True:
            try:
                chunk = os.read(controller, 4096)
            except OSError:  # the other side is closed: everything was read
                break
            if not chunk:
                break
            shown += chunk
    finally:
        os.close(controller)
    assert completed.returncode == 1
    bar = f"\r[{'#' * 30}] 2/2".encode()
    assert bar in shown and shown.index(bar) < shown.index(b"broken.txt:2: error")
