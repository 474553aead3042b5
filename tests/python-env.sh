# Sourced by install-deps.sh and run.sh: sets PYTHON to the interpreter that gets the project
# and its test tools. That is the active virtual environment if there is one; else, where the
# system Python is externally managed (Debian's, PEP 668) and pip refuses to install into it,
# the virtual environment .venv in the repository root, created on first use with access to
# the system's packages; else the system's python3.
in_venv() { python3 -c 'import sys; sys.exit(sys.prefix == sys.base_prefix)'; }
externally_managed() {
    python3 -c 'import os, sys, sysconfig
sys.exit(not os.path.exists(os.path.join(sysconfig.get_path("stdlib"), "EXTERNALLY-MANAGED")))'
}

VENV_DIR=${MENSURATOR_VENV:-$PWD/.venv}
if [ -x "$VENV_DIR/bin/python" ] && ! in_venv; then
    PYTHON=$VENV_DIR/bin/python
elif ! in_venv && externally_managed; then
    python3 -m venv --system-site-packages "$VENV_DIR"
    PYTHON=$VENV_DIR/bin/python
else
    PYTHON=python3
fi
export PATH="$(dirname "$(command -v "$PYTHON")"):$PATH"
