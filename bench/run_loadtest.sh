#!/usr/bin/env bash
# Runs dealbrix-loadtest against a fresh dealbrix-server on 127.0.0.1, both on this machine, and prints
# one JSON line per run. Usage: bench/run_loadtest.sh BUILD_DIR [SECONDS] [memory|data]
# "data" (the default) keeps the rooms in a temporary folder with --data; "memory" runs without it.
set -uo pipefail
build=${1:-build}
seconds=${2:-20}
mode=${3:-data}
run() { # rooms pace
    local data log pid port line
    data=$(mktemp -d "${TMPDIR:-/tmp}/dealbrix-loadtest.XXXXXX")
    log="$data/server.log"
    local store=()
    [ "$mode" = data ] && store=(--data "$data/rooms")
    "$build/dealbrix-server" --listen 127.0.0.1:0 "${store[@]}" --connections-per-address 20000 --rooms-per-address 20000 \
        --max-rooms 5000 --rate 1000 --burst 1000 2>"$log" &
    pid=$!
    port=
    for _ in $(seq 100); do
        port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
        [ -n "$port" ] && break
        sleep 0.1
    done
    line=$("$build/dealbrix-loadtest" --server "ws://127.0.0.1:$port" --rooms "$1" --pace "$2" \
        --seconds "$seconds" --server-pid "$pid" 2>"$data/loadtest.log" || true)
    # The JSON line, then how long the rooms took to open (or how many did).
    echo "{\"mode\":\"$mode\",\"load\":\"$(cut -d' ' -f1 /proc/loadavg)\"} $line $(grep -o 'only.*\|open in [0-9.]* s' "$data/loadtest.log" | head -1)"
    kill -TERM "$pid"
    wait "$pid" 2>/dev/null || true
    rm -rf "$data"
}
for rooms in 100 500 1000 2000; do run "$rooms" 1; done
run 100 0
