#!/usr/bin/env bash
# Plays a network game end to end: a dealbrix-server process listens on 127.0.0.1 (a port it picks),
# and two real programs on one private X display (Xvfb) and accessibility bus play a room on it,
# driven by drive_network.py through AT-SPI as screen-reader users would: program A opens the room
# with Network > Host Game..., program B joins it as Player 2, and they play turns in alternation,
# each board following the other's moves. Both leave with File > Exit; the server goes on until this
# script stops it.
#
#   bash run_network_e2e.sh path/to/dealbrix path/to/dealbrix-server
#
# Every process this script starts is stopped by its process id when the script ends, whether the
# game passed or not. Every wait has a time limit. DEALBRIX_E2E_KEEP=1 keeps the work folder (logs),
# DEALBRIX_E2E_PATIENCE=3 (say) stretches every time limit of the player for a slow build.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
game_exe="${1:-}"
server_exe="${2:-}"
if [ -z "$game_exe" ] || [ ! -x "$game_exe" ] || [ -z "$server_exe" ] || [ ! -x "$server_exe" ]; then
    echo "usage: $0 path/to/dealbrix path/to/dealbrix-server (got '${game_exe}' '${server_exe}')" >&2
    exit 2
fi

# shellcheck source=private_desktop.sh
. "$here/private_desktop.sh"

server_pid="" game_a_pid="" game_b_pid="" driver_pid=""
player_logs=(server game-a game-b)
stop_players() {
    stop_pid "$driver_pid" drive_network.py
    stop_pid "$game_a_pid" "dealbrix A"
    stop_pid "$game_b_pid" "dealbrix B"
    stop_pid "$server_pid" dealbrix-server
}

# 4. The game server, on 127.0.0.1 only and a free port of its own choosing, which it reports.
"$server_exe" --listen 127.0.0.1:0 >"$work/server.log" 2>&1 &
server_pid=$!
server_port=""
server_ready() {
    server_port="$(sed -n 's/.*listening on 127\.0\.0\.1:\([0-9][0-9]*\).*/\1/p' "$work/server.log" | head -n1)"
    [ -n "$server_port" ] || { alive "$server_pid" || fail "dealbrix-server exited"; return 1; }
}
wait_for 20 "dealbrix-server to listen" server_ready
log "dealbrix-server $server_pid on 127.0.0.1:$server_port"

# 5. The two programs, with Qt's accessibility bridge on, each with a home of its own.
start_game() { # start_game NAME: prints nothing, sets game_NAME_pid
    local name="$1"
    mkdir -p "$work/home-$name"
    HOME="$work/home-$name" XDG_CONFIG_HOME="$work/home-$name/.config" XDG_DATA_HOME="$work/home-$name/.local/share" \
        XDG_CACHE_HOME="$work/home-$name/.cache" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb \
        "$game_exe" >"$work/game-$name.log" 2>&1 &
}
start_game a
game_a_pid=$!
start_game b
game_b_pid=$!
log "dealbrix A $game_a_pid, dealbrix B $game_b_pid"

# 6. The players.
timeout -k 5 90 "$python" "$here/drive_network.py" --pid-a "$game_a_pid" --pid-b "$game_b_pid" \
    --server "127.0.0.1:$server_port" --patience "${DEALBRIX_E2E_PATIENCE:-1}" &
driver_pid=$!
driver_status=0
wait "$driver_pid" || driver_status=$?
driver_pid=""
[ $driver_status -eq 0 ] || fail "drive_network.py failed with status $driver_status"

# 7. File > Exit ended both programs with status 0; the server goes on serving.
for name in a b; do
    pid_var="game_${name}_pid"
    pid="${!pid_var}"
    game_gone() { ! alive "$pid"; }
    wait_for 15 "dealbrix $name to exit after File > Exit" game_gone
    status=0
    wait "$pid" || status=$?
    printf -v "$pid_var" '%s' ""
    [ $status -eq 0 ] || fail "dealbrix $name exited with status $status after File > Exit"
done
alive "$server_pid" || fail "dealbrix-server stopped when the programs left"
log "both programs exited with status 0; dealbrix-server still serves"
log "PASS"
