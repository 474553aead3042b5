#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian machine: GoogleTest, a LaTeX
# base for the document-compilation tests, clang for the fuzz target, and the Python test tools.
set -euo pipefail

need=()
[ -f /usr/include/gtest/gtest.h ] || need+=(libgtest-dev)
command -v pdflatex >/dev/null || need+=(texlive-latex-base)
command -v clang++ >/dev/null || need+=(clang)
dpkg -s libclang-rt-dev >/dev/null 2>&1 || need+=(libclang-rt-dev)
command -v ninja >/dev/null || need+=(ninja-build)
if [ ${#need[@]} -gt 0 ]; then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
fi

python3 -m pip install -q --disable-pip-version-check pytest hypothesis
