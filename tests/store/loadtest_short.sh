#!/usr/bin/env bash
# A short run of dealbrix-loadtest against a real dealbrix-server with --data on 127.0.0.1: the tool
# opens every room, plays, and reports no error. A check that the tool works, not a timing.
set -euo pipefail
server=$1
loadtest=$2
data=$(mktemp -d)
log="$data/server.log"
pid=
cleanup() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill -TERM "$pid"
        for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
        kill -KILL "$pid" 2>/dev/null || true
    fi
    rm -rf "$data"
}
trap cleanup EXIT
"$server" --listen 127.0.0.1:0 --data "$data/rooms" --connections-per-address 1000 --rooms-per-address 1000 --rate 1000 \
    --burst 1000 \
    2>"$log" &
pid=$!
port=
for _ in $(seq 100); do
    port=$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9]*\).*/\1/p' "$log")
    [ -n "$port" ] && break
    sleep 0.1
done
[ -n "$port" ] || { echo "the server did not start:"; cat "$log"; exit 1; }
line=$("$loadtest" --server "ws://127.0.0.1:$port" --rooms 50 --pace 5 --seconds 5 --server-pid "$pid")
echo "$line"
for field in '"rooms":50' '"connections":200' '"errors":0' '"serverCpuMsPerAction":'; do
    case "$line" in *"$field"*) ;; *) echo "expected $field"; exit 1 ;; esac
done
case "$line" in *'"actionsPerSecond":0,'*) echo "no action was played"; exit 1 ;; esac
