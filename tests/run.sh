#!/usr/bin/env bash
# The whole test suite: the style checks (ruff, mypy, clang-format), C++ unit tests (plain and
# under ASan+UBSan), a short fuzz run, then the Python module built and installed from this
# tree and its pytest suite.
set -euo pipefail
cd "$(dirname "$0")/.."
source tests/python-env.sh

jobs=${JOBS:-2}

echo "== Style: ruff, mypy, clang-format"
"$PYTHON" -m ruff check python/
# mypy reads the engine's types from its installed stub package, so the tree is installed first.
"$PYTHON" -m pip install -q --disable-pip-version-check .
"$PYTHON" -m mypy
find src binding tests bench \( -name '*.cpp' -o -name '*.hpp' \) -print0 |
    xargs -0 clang-format-19 --dry-run -Werror

# ctest pads every result line with dots to the longest test name; keep the log readable.
squeeze_dots() { sed -E 's/ \.{4,}/ .../'; }

echo "== C++ unit tests"
cmake -S . -B build/tests -G Ninja -DCMAKE_BUILD_TYPE=Release >/dev/null
cmake --build build/tests -j "$jobs"
ctest --test-dir build/tests --output-on-failure -j "$jobs" | squeeze_dots

echo "== C++ unit tests under AddressSanitizer and UndefinedBehaviorSanitizer"
cmake -S . -B build/sanitize -G Ninja -DCMAKE_BUILD_TYPE=Debug -DMENSURATOR_SANITIZE=ON >/dev/null
cmake --build build/sanitize -j "$jobs"
ASAN_OPTIONS=detect_leaks=1 UBSAN_OPTIONS=print_stacktrace=1 \
    ctest --test-dir build/sanitize --output-on-failure -j "$jobs" | squeeze_dots

if [ -x tests/fuzz/run.sh ]; then
    echo "== Fuzzing (short run)"
    tests/fuzz/run.sh --short
fi

echo "== Python module (installed from this tree by the style step)"
"$PYTHON" -m pytest -q tests/python
