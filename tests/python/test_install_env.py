"""The choice of interpreter in tests/python-env.sh, which install-deps.sh and run.sh share:
pip refuses to install into an externally managed system Python, so a virtual environment is
made for it, and used again by later runs."""

import os
import subprocess
from pathlib import Path

import pytest

ENV_SCRIPT = Path(__file__).resolve().parents[1] / "python-env.sh"

# Stands in for python3: answers the two questions the script asks from the environment, and
# makes a virtual environment as `python3 -m venv DIR` would (an executable DIR/bin/python).
FAKE_PYTHON = """#!/bin/sh
if [ "$1" = -m ] && [ "$2" = venv ]; then
    for dir; do :; done
    mkdir -p "$dir/bin" && printf '#!/bin/sh\\n' > "$dir/bin/python" && chmod +x "$dir/bin/python"
    echo "created $dir" >> "$LOG"
    exit 0
fi
case "$2" in
    *EXTERNALLY-MANAGED*) [ "$MANAGED" = yes ] && exit 0 || exit 1 ;;
    *base_prefix*) [ "$IN_VENV" = yes ] && exit 0 || exit 1 ;;
esac
exit 2
"""


def chosen_python(tmp_path, managed, in_venv):
    bin_dir = tmp_path / "bin"
    bin_dir.mkdir(exist_ok=True)
    fake = bin_dir / "python3"
    fake.write_text(FAKE_PYTHON)
    fake.chmod(0o755)
    environment = {
        **os.environ,
        "PATH": f"{bin_dir}:/usr/bin:/bin",
        "MANAGED": managed,
        "IN_VENV": in_venv,
        "LOG": str(tmp_path / "log"),
    }
    environment.pop("MENSURATOR_VENV", None)
    completed = subprocess.run(
        ["bash", "-c", f"set -euo pipefail; source {ENV_SCRIPT}; echo $PYTHON"],
        cwd=tmp_path,
        env=environment,
        capture_output=True,
        text=True,
        check=True,
    )
    return completed.stdout.strip()


def test_an_externally_managed_python_gets_a_virtual_environment_made_once(tmp_path):
    venv_python = str(tmp_path / ".venv" / "bin" / "python")
    assert chosen_python(tmp_path, managed="yes", in_venv="no") == venv_python
    assert chosen_python(tmp_path, managed="yes", in_venv="no") == venv_python
    assert (tmp_path / "log").read_text().count("created") == 1


@pytest.mark.parametrize("managed, in_venv", [("no", "no"), ("yes", "yes"), ("no", "yes")])
def test_otherwise_the_interpreter_on_the_path_is_used(tmp_path, managed, in_venv):
    assert chosen_python(tmp_path, managed, in_venv) == "python3"
    assert not (tmp_path / ".venv").exists()
