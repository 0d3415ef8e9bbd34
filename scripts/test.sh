#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build (with a million random actions), the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer, and a short bounded run of each fuzzer.
# Every suite runs even when an earlier one failed; the last line counts what really ran, from ctest's
# own summaries and the fuzzers' exit statuses, and the script fails if anything failed.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"
# ccache (installed by the set-up) keeps rebuilds of unchanged files short; every build uses it.
launcher=()
if command -v ccache >/dev/null 2>&1; then
    export CCACHE_BASEDIR="$PWD"
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
fi
logs="$(mktemp -d)"
trap 'rm -rf "$logs"' EXIT

passed=0
failed=0

# run_ctest NAME BUILD_DIR [VAR=VALUE...]: runs that build's tests and adds ctest's counts to the tally.
run_ctest() {
    local name="$1" dir="$2" status=0 summary failures total
    shift 2
    env "$@" ctest --test-dir "$dir" --output-on-failure -j"$jobs" 2>&1 | tee "$logs/$name.log" || status=$?
    # ctest ends with a line such as "100% tests passed, 0 tests failed out of 136".
    summary="$(sed -n 's/^[0-9]*% tests passed, \([0-9]*\) tests\{0,1\} failed out of \([0-9]*\)$/\1 \2/p' \
        "$logs/$name.log" | tail -n 1)"
    if [ -z "$summary" ]; then
        echo "$name: ctest gave no summary (exit status $status); counted as one failure"
        failed=$((failed + 1))
        return
    fi
    read -r failures total <<<"$summary"
    passed=$((passed + total - failures))
    failed=$((failed + failures))
    if [ "$total" -eq 0 ] || { [ "$status" -ne 0 ] && [ "$failures" -eq 0 ]; }; then
        echo "$name: ctest exited with status $status after $total tests; counted as one failure"
        failed=$((failed + 1))
    fi
}

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
cmake --build build -j"$jobs"
run_ctest normal build

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DDEALBRIX_SANITIZE=ON -DDEALBRIX_KILL_TEST=OFF "${launcher[@]}"
cmake --build build-sanitize -j"$jobs"
run_ctest sanitize build-sanitize DEALBRIX_RANDOM_ACTIONS=200000 \
    ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# Fuzzers: clang with libFuzzer, each run for a bounded time from the corpus kept in fuzz/corpus.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEALBRIX_FUZZ=ON \
    -DDEALBRIX_WINDOWS=OFF -DDEALBRIX_TESTS=OFF -DDEALBRIX_BENCH=OFF "${launcher[@]}"
cmake --build build-fuzz -j"$jobs"
for target in number actions load server; do
    scratch="$(mktemp -d)"
    if ./build-fuzz/fuzz/fuzz_$target "$scratch" "fuzz/corpus/$target" -max_total_time=20 -max_len=16384 \
        -print_final_stats=1 >"$logs/fuzz_$target.log" 2>&1; then
        passed=$((passed + 1))
        sed -n "s/^stat::\(number_of_executed_units\|new_units_added\)/fuzz_$target \1/p" "$logs/fuzz_$target.log"
    else
        failed=$((failed + 1))
        cat "$logs/fuzz_$target.log"
        echo "fuzz_$target: FAILED"
    fi
    rm -rf "$scratch"
done

echo "all suites: $passed passed, $failed failed"
[ "$failed" -eq 0 ] && [ "$passed" -gt 0 ]
