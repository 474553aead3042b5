"""The installed type information: mypy finds the stub of the module and the package's
py.typed, accepts correct use of both and rejects a wrong argument type."""

import os
import subprocess
import sys
import textwrap

import pytest

GOOD = """
    import mensurator
    import mensurator_py

    latex: str = mensurator_py.run_mensurator(inp="x = 1")
    document: mensurator.Document = mensurator.render(latex)
    results = mensurator.render_many([document.body], jobs=2)
    try:
        mensurator_py.run_mensurator("")
    except mensurator.MensuratorException as error:
        line: int = mensurator.DocumentError.from_exception(error).line
"""

BAD = """
    import mensurator_py

    mensurator_py.run_mensurator(b"x")
"""


@pytest.fixture(scope="module")
def mypy():
    completed = subprocess.run([sys.executable, "-m", "mypy", "--version"], capture_output=True)
    if completed.returncode != 0:
        if os.environ.get("CI"):
            pytest.fail("mypy is required in CI; tests/install-deps.sh installs it")
        pytest.skip("mypy is not installed")


def test_mypy_checks_against_the_installed_types(mypy, tmp_path):
    (tmp_path / "good.py").write_text(textwrap.dedent(GOOD), encoding="utf-8")
    (tmp_path / "bad.py").write_text(textwrap.dedent(BAD), encoding="utf-8")
    # Run from an empty directory, so that only the installed distribution is seen.
    completed = subprocess.run(
        [
            sys.executable,
            "-m",
            "mypy",
            "--strict",
            "--cache-dir",
            str(tmp_path / "cache"),
            "good.py",
            "bad.py",
        ],
        cwd=tmp_path,
        capture_output=True,
        text=True,
        timeout=300,
        check=False,
    )
    errors = [line for line in completed.stdout.splitlines() if ": error: " in line]
    assert completed.returncode == 1
    assert errors == [
        'bad.py:4: error: Argument 1 to "run_mensurator" has incompatible type "bytes"; '
        'expected "str"  [arg-type]'
    ], completed.stdout
