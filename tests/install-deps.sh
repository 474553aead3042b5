#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian machine: GoogleTest, a LaTeX
# base for the document-compilation tests (and poppler's pdftotext to read PDFs back), clang 19
# for the fuzz target, clang-format 19 for the style check, and the Python test tools with the
# report extras (pandoc's wheel, matplotlib, Jinja2), in a virtual environment where the system
# Python is externally managed (see python-env.sh).
set -euo pipefail
cd "$(dirname "$0")/.."

need=()
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
command -v pdflatex >/dev/null || need+=(texlive-latex-base)
# The title-block test reads the PDF's text back.
command -v pdftotext >/dev/null || need+=(poppler-utils)
# The fuzz target needs a clang whose C++ library support includes std::expected (clang 14, the
# distribution default, does not) and its libFuzzer runtime.
command -v clang++-19 >/dev/null || need+=(clang-19)
dpkg -s libclang-rt-19-dev >/dev/null 2>&1 || need+=(libclang-rt-19-dev)
command -v clang-format-19 >/dev/null || need+=(clang-format-19)
command -v ninja >/dev/null || need+=(ninja-build)
# A virtual environment needs ensurepip, which Debian ships separately.
python3 -c 'import ensurepip' 2>/dev/null || need+=(python3-venv)
# The live editor's browser test drives the distribution's headless Chromium through its driver.
command -v chromium >/dev/null || need+=(chromium)
command -v chromedriver >/dev/null || need+=(chromium-driver)
if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq "${need[@]}" >/dev/null
fi

source tests/python-env.sh
"$PYTHON" -m pip install -q --disable-pip-version-check pytest hypothesis mypy ruff ipython \
    latex2mathml starlette uvicorn websockets uvloop httpx2 selenium pypandoc-binary matplotlib jinja2 pint \
    pygments watchfiles types-Pygments 'pygls>=2,<3' 'pytest-lsp>=1'
