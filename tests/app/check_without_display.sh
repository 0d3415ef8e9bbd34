#!/usr/bin/env bash
# The real program answers --version, --help and a wrong option on its own, with no display and no Qt
# platform chosen, and opens no window for them.
#
#   bash check_without_display.sh path/to/dealbrix VERSION
set -uo pipefail
game="$1"
version="$2"
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
failures=0

fail() {
    echo "FAIL: $*"
    failures=$((failures + 1))
}

# run ARGS...: runs the program with a time limit, keeping its output, error and exit status.
run() {
    timeout 20 "$game" "$@" >"$work/out" 2>"$work/err"
    status=$?
}

run --version
[ "$status" -eq 0 ] || fail "--version exited with $status: $(cat "$work/err")"
[ "$(cat "$work/out")" = "Dealbrix $version" ] || fail "--version printed '$(cat "$work/out")'"
[ ! -s "$work/err" ] || fail "--version wrote to standard error: $(cat "$work/err")"

run --help
[ "$status" -eq 0 ] || fail "--help exited with $status: $(cat "$work/err")"
grep -q -- "--version" "$work/out" || fail "--help does not list --version"
grep -q "^Usage: .*dealbrix" "$work/out" || fail "--help has no usage line naming the program"

run --no-such-option
[ "$status" -eq 2 ] || fail "a wrong option exited with $status, not 2"
[ ! -s "$work/out" ] || fail "a wrong option wrote to standard output: $(cat "$work/out")"
grep -q "no-such-option" "$work/err" || fail "the error does not name the wrong option: $(cat "$work/err")"

run --rules auction,no-such-rule
[ "$status" -eq 2 ] || fail "a wrong rule name exited with $status, not 2"
grep -q "no-such-rule" "$work/err" || fail "the error does not name the wrong rule: $(cat "$work/err")"
grep -q "even-building" "$work/err" || fail "the error does not list the rules: $(cat "$work/err")"

[ "$failures" -eq 0 ] && echo "PASS: --version, --help and a wrong option answered without a display"
