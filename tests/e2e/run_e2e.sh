#!/usr/bin/env bash
# Plays the start of a real game of Dealbrix the way a screen-reader user would: the program runs on
# a private X display (Xvfb) with its own D-Bus session bus and accessibility bus, and drive_game.py
# plays player 1's turn through AT-SPI actions and player 2's turn from the keyboard (key presses
# sent to the display through the accessibility registry), reading the screen only through AT-SPI
# (names, roles and states). The mouse is never used. A second game, started with --computer 2, has
# the person play player 1 while the computer plays player 2 by itself and hands the turn back.
#
#   bash run_e2e.sh path/to/dealbrix
#
# Every process this script starts is stopped by its process id when the script ends, whether the
# game passed or not. Every wait has a time limit. Set DEALBRIX_E2E_KEEP=1 to keep the work folder
# (logs) for a look afterwards, and DEALBRIX_E2E_PATIENCE=3 (say) to stretch every time limit of the
# player for a slow build.
set -uo pipefail

here="$(cd "$(dirname "$0")" && pwd)"
game_exe="${1:-}"
if [ -z "$game_exe" ] || [ ! -x "$game_exe" ]; then
    echo "usage: $0 path/to/dealbrix (got '${game_exe}')" >&2
    exit 2
fi
game_exe="$(cd "$(dirname "$game_exe")" && pwd)/$(basename "$game_exe")"

# shellcheck source=private_desktop.sh
. "$here/private_desktop.sh"

game_pid="" driver_pid=""
player_logs=(game)
stop_players() {
    stop_pid "$driver_pid" drive_game.py
    stop_pid "$game_pid" dealbrix
}

play() { # play WHAT DRIVER_OPTIONS -- GAME_OPTIONS...: one game from start to File > Exit
    local what="$1" driver_options="$2" driver_status game_status
    shift 3
    # 4. The game, with Qt's accessibility bridge on.
    QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb "$game_exe" "$@" >"$work/game.log" 2>&1 &
    game_pid=$!
    log "dealbrix $game_pid ($what)"

    # 5. The player.
    # In the background, so that a signal to this script is handled at once rather than after the player.
    # shellcheck disable=SC2086 # the driver's options are words
    timeout -k 5 120 "$python" "$here/drive_game.py" --pid "$game_pid" --patience "${DEALBRIX_E2E_PATIENCE:-1}" \
        $driver_options &
    driver_pid=$!
    driver_status=0
    wait "$driver_pid" || driver_status=$?
    driver_pid=""
    [ $driver_status -eq 0 ] || fail "drive_game.py failed with status $driver_status ($what)"

    # 6. File > Exit ends the program at once, with status 0.
    game_gone() { ! alive "$game_pid"; }
    wait_for 15 "dealbrix to exit after File > Exit" game_gone
    game_status=0
    wait "$game_pid" || game_status=$?
    game_pid=""
    [ $game_status -eq 0 ] || fail "dealbrix exited with status $game_status after File > Exit"
    log "dealbrix exited with status 0 ($what)"
}

play "two people" "" --
# The same desktop again: one person against the computer, which plays player 2 at full speed.
play "a person and the computer" "--computer" -- --computer 2 --computer-delay 0
log "PASS"
