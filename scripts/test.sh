#!/usr/bin/env bash
# Sets up, builds and runs every test: the normal build (with a million random actions), the same
# suite under AddressSanitizer and UndefinedBehaviorSanitizer, and a short bounded run of each fuzzer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
jobs="$(nproc)"

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"

cmake -S . -B build-sanitize -DCMAKE_BUILD_TYPE=Debug -DDEALBRIX_SANITIZE=ON
cmake --build build-sanitize -j"$jobs"
DEALBRIX_RANDOM_ACTIONS=200000 ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
    ctest --test-dir build-sanitize --output-on-failure -j"$jobs"

# Fuzzers: clang with libFuzzer, each run for a bounded time from the corpus kept in fuzz/corpus.
cmake -S . -B build-fuzz -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=RelWithDebInfo -DDEALBRIX_FUZZ=ON \
    -DDEALBRIX_WINDOWS=OFF -DDEALBRIX_TESTS=OFF -DDEALBRIX_BENCH=OFF
cmake --build build-fuzz -j"$jobs"
for target in number actions load; do
    scratch="$(mktemp -d)"
    if ! ./build-fuzz/fuzz/fuzz_$target "$scratch" "fuzz/corpus/$target" -max_total_time=20 -max_len=16384 \
        -print_final_stats=1 >"$scratch/log" 2>&1; then
        cat "$scratch/log"
        exit 1
    fi
    sed -n "s/^stat::\(number_of_executed_units\|new_units_added\)/fuzz_$target \1/p" "$scratch/log"
    rm -rf "$scratch"
done

# Every step above stops the script on a failure, so reaching here means all of it passed.
count() { ctest --test-dir "$1" -N | sed -n 's/^Total Tests: //p'; }
total=$(( $(count build) + $(count build-sanitize) + 3 ))
echo "all suites: $total passed, 0 failed"
