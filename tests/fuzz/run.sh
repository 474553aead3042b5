#!/usr/bin/env bash
# Builds the fuzz target for the run entry (clang, libFuzzer, ASan+UBSan) into build/fuzz, replays
# the regression inputs and the seed corpus, then fuzzes with one worker.
#
#   tests/fuzz/run.sh --short   the test command's run: replay, then FUZZ_SHORT_SECONDS (60) of fuzzing
#   tests/fuzz/run.sh           a long run: replay, then FUZZ_SECONDS (1800) of fuzzing
#
# Environment: FUZZ_CXX picks the compiler (default: the first clang++ that has <expected> and the
# libFuzzer runtime), JOBS the build parallelism (default 1). Any crash, sanitizer report, leak,
# timeout or out-of-memory fails the run; the input is left in build/fuzz/artifacts/.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${FUZZ_SECONDS:-1800}
if [ "${1:-}" = "--short" ]; then
    seconds=${FUZZ_SHORT_SECONDS:-60}
elif [ $# -gt 0 ]; then
    echo "usage: $0 [--short]" >&2
    exit 2
fi

build=build/fuzz
fuzzer=$build/tests/fuzz/fuzz_run_document

# The engine needs C++23's <expected>; older clang releases cannot compile libstdc++'s.
usable_compiler() {
    printf '#include <expected>\nstd::expected<int, int> f() { return 1; }\n%s\n' \
        'extern "C" int LLVMFuzzerTestOneInput(const char*, unsigned long) { return *f() - 1; }' |
        "$1" -std=c++23 -fsanitize=fuzzer,address,undefined -x c++ - -o /dev/null 2>/dev/null
}

cxx=${FUZZ_CXX:-}
if [ -z "$cxx" ]; then
    for candidate in clang++ clang++-22 clang++-21 clang++-20 clang++-19 clang++-18 clang++-17; do
        if command -v "$candidate" >/dev/null && usable_compiler "$candidate"; then
            cxx=$candidate
            break
        fi
    done
fi
if [ -z "$cxx" ]; then
    echo "fuzz: no clang++ with C++23 <expected> and the libFuzzer runtime (e.g. apt-get install" \
        "clang-19 libclang-rt-19-dev), or set FUZZ_CXX" >&2
    exit 1
fi

cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DMENSURATOR_SANITIZE=ON -DMENSURATOR_FUZZ=ON -DMENSURATOR_BUILD_TESTS=OFF \
    -DMENSURATOR_BUILD_PYTHON=OFF >/dev/null
cmake --build "$build" --target fuzz_run_document -j "${JOBS:-1}"

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
# Per input: 10 s and 2 GiB at most, and no single allocation over 256 MiB, so a small input
# that takes long or asks for huge memory counts as a failure.
limits=(-timeout=10 -rss_limit_mb=2048 -malloc_limit_mb=256)

echo "== fuzz: replaying regression inputs and the seed corpus"
mapfile -t replay < <(find tests/fuzz/regressions tests/fuzz/corpus -type f ! -name '*.md' | sort)
"$fuzzer" "${limits[@]}" "${replay[@]}" >"$build/replay.log" 2>&1 || {
    status=$?
    tail -n 60 "$build/replay.log" >&2
    echo "fuzz: a regression or seed input fails (see above)" >&2
    exit "$status"
}
echo "replayed ${#replay[@]} inputs"

echo "== fuzz: ${seconds} s with one worker"
mkdir -p "$build/corpus" "$build/artifacts"
"$fuzzer" "${limits[@]}" -max_len=4096 -max_total_time="$seconds" -print_final_stats=1 \
    -dict=tests/fuzz/mensurator.dict -artifact_prefix="$build/artifacts/" \
    "$build/corpus" tests/fuzz/corpus 2>"$build/fuzz.log" || {
    status=$?
    tail -n 60 "$build/fuzz.log" >&2
    echo "fuzz: failed; the input is in $build/artifacts/ (keep it in tests/fuzz/regressions/)" >&2
    exit "$status"
}
grep -a -E '^(stat::number_of_executed_units|stat::peak_rss_mb)|^Done' "$build/fuzz.log" || true
