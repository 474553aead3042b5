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


def test_document_error_in_a_cell_is_a_report_not_a_traceback(shell, capsys):
    result = shell.run_cell("%%mensurator\nx = 1\nf = 3 Hz\n")
    assert result.success and result.result is None
    assert capsys.readouterr().err == (
        "<cell>:2: error: Line 2: Hz is not a variable or a valid unit\n"
        "f = 3 Hz\nhint: did you mean hz?\n"
    )
