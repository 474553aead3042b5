"""The %%mensurator cell magic and the notebook displays, in a real IPython shell."""

import os

import mensurator
import pytest

try:
    from IPython.core.interactiveshell import InteractiveShell
except ImportError:  # an optional extra for users; CI installs it
    InteractiveShell = None


@pytest.fixture(scope="module")
def shell():
    if InteractiveShell is None:
        if os.environ.get("CI"):
            pytest.fail("IPython is required in CI; tests/install-deps.sh installs it")
        pytest.skip("IPython is not installed")
    shell = InteractiveShell.instance()
    assert shell.run_cell("%load_ext mensurator").success
    return shell


def test_cell_magic_renders_and_displays_the_document(shell):
    cell = "'''\\section*{Stone}'''\ng = 9.81 m/s^2\nh = 20 m\n(2 * h / g)^0.5 =? s\n"
    result = shell.run_cell("%%mensurator\n" + cell)
    assert result.success
    assert result.result == mensurator.render(cell.removesuffix("\n"))

    shown, _ = shell.display_formatter.format(result.result)
    assert shown["text/markdown"].startswith("## Stone\n\n$$g = 9.810")
    assert "$$(\\frac{2 \\times h}{g})^{0.500} = 2.019 \\ \\mathrm{s}$$" in shown["text/latex"]


def test_failing_cell_stops_execution_and_shows_the_report_not_a_traceback(shell, capsys):
    result = shell.run_cell("%%mensurator\nx = 1\nf = 3 Hz\n")
    # A failed cell, so that "run all" and nbclient stop here.
    assert not result.success
    error = result.error_in_exec
    assert isinstance(error, mensurator.DocumentError) and error.line == 2
    shown = capsys.readouterr()
    assert "Traceback" not in shown.out + shown.err
    assert shown.out.strip("\n") == (
        "<cell>:2: error: Line 2: Hz is not a variable or a valid unit\n"
        "f = 3 Hz\nhint: did you mean hz?"
    )


def test_warnings_are_shown_under_the_sheet_and_every_error_of_a_failing_cell(shell, capsys):
    cell = "L = 6 m\nq = 2 kN/m * L =?\n"
    result = shell.run_cell("%%mensurator\n" + cell)
    # The cell's document is the plain one with a report: equal, either way round.
    assert result.success and mensurator.render(cell) == result.result
    shown, _ = shell.display_formatter.format(result.result)
    sheet, warnings = shown["text/markdown"].split("\n\n```text\n")
    assert sheet.startswith("$$L = 6") and sheet.count("$$") == 4
    assert warnings.startswith("<cell>:2:14: warning: L in the unit annotation is read as")
    assert warnings.endswith(
        "[unit-shadows-variable]\nq = 2 kN/m * L =?\n             ^\n```"
    )
    clean, _ = shell.display_formatter.format(shell.run_cell("%%mensurator\nx = 1").result)
    assert "```" not in clean["text/markdown"]

    failed = shell.run_cell("%%mensurator\nf = 3 Hz\ng = 2 qq\n" + cell)
    assert not failed.success and len(failed.error_in_exec.problems) == 3
    report = capsys.readouterr().out
    assert [line for line in report.splitlines() if line.startswith("<cell>")] == [
        "<cell>:1: error: Line 1: Hz is not a variable or a valid unit",
        "<cell>:2: error: Line 2: qq is not a variable or a valid unit",
        "<cell>:4:14: " + warnings.split("<cell>:2:14: ")[1].split("\n")[0],
    ]


def test_a_warning_report_keeps_its_backticks_inside_the_code_block():
    from mensurator._notebook import code_block

    assert code_block("a ``` b\n") == "````text\na ``` b\n````"
