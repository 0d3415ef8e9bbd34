# The private desktop of the end-to-end tests, sourced by run_e2e.sh and run_network_e2e.sh: an X
# server (Xvfb) on a display of its own, a session bus, the accessibility bus and its registry, and a
# clean environment (home, runtime and data folders in a fresh work folder). Every process started
# here is stopped by its process id when the sourcing script ends, whether it passed or not, and
# every wait has a time limit. It sets `python` (the system one), `work` and the helpers log, alive,
# stop_pid, fail and wait_for.

python=/usr/bin/python3 # the system one: pyatspi comes from Debian, not from a virtual environment
for tool in Xvfb dbus-daemon dbus-send timeout "$python" /usr/libexec/at-spi-bus-launcher /usr/libexec/at-spi2-registryd; do
    command -v "$tool" >/dev/null 2>&1 || { echo "e2e: missing $tool (run scripts/setup.sh)" >&2; exit 1; }
done
"$python" -c 'import pyatspi' 2>/dev/null || { echo "e2e: python3-pyatspi is not installed (run scripts/setup.sh)" >&2; exit 1; }

work="$(mktemp -d "${TMPDIR:-/tmp}/dealbrix-e2e.XXXXXX")"
log() { printf '[e2e %s] %s\n' "$(date +%T)" "$*"; }

# The ids of the desktop's processes; each is emptied once that process has been reaped. The script
# sourcing this file stops its own processes (the game, the player) in its stop_players function and
# names their logs in player_logs.
xvfb_pid="" session_pid="" launcher_pid="" a11y_bus_pid="" registry_pid=""
player_logs=()
stop_players() { :; }

alive() { # alive PID: running and not a zombie
    local pid="$1" state
    [ -n "$pid" ] && [ -r "/proc/$pid/stat" ] || return 1
    state="$(sed -e 's/^.*) //' "/proc/$pid/stat" 2>/dev/null | cut -d' ' -f1)"
    [ -n "$state" ] && [ "$state" != Z ] && [ "$state" != X ]
}

stop_pid() { # stop_pid PID NAME: TERM, up to 5 s, then KILL
    local pid="$1" name="$2" i
    [ -n "$pid" ] || return 0
    alive "$pid" || { wait "$pid" 2>/dev/null; return 0; }
    kill -TERM "$pid" 2>/dev/null
    for i in $(seq 50); do
        alive "$pid" || break
        sleep 0.1
    done
    if alive "$pid"; then
        log "$name ($pid) did not stop on TERM, killing it"
        kill -KILL "$pid" 2>/dev/null
    fi
    wait "$pid" 2>/dev/null
    return 0
}

cleanup() {
    local status=$?
    trap - EXIT INT TERM HUP
    # The accessibility bus is the launcher's child; note it before the launcher goes.
    if [ -n "$launcher_pid" ] && [ -z "$a11y_bus_pid" ]; then
        a11y_bus_pid="$(ps -o pid= --ppid "$launcher_pid" 2>/dev/null | tr -d ' ' | head -n1)"
    fi
    stop_players
    stop_pid "$registry_pid" at-spi2-registryd
    stop_pid "$a11y_bus_pid" "accessibility bus" # first, so that the launcher, its parent, reaps it
    stop_pid "$launcher_pid" at-spi-bus-launcher
    stop_pid "$session_pid" "session bus"
    stop_pid "$xvfb_pid" Xvfb
    if [ $status -ne 0 ]; then
        for f in "${player_logs[@]}" xvfb session launcher registry; do
            if [ -s "$work/$f.log" ]; then
                echo "----- $f.log (last lines) -----"
                tail -n 60 "$work/$f.log"
                echo
            fi
        done
    fi
    if [ "${DEALBRIX_E2E_KEEP:-0}" = 1 ]; then
        log "logs kept in $work"
    else
        rm -rf "$work"
    fi
    exit $status
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP

fail() {
    log "FAIL: $*"
    exit 1
}

wait_for() { # wait_for SECONDS WHAT COMMAND...: polls COMMAND every 0.1 s
    local limit="$1" what="$2" deadline
    shift 2
    deadline=$(($(date +%s%N) + limit * 1000000000))
    until "$@"; do
        [ "$(date +%s%N)" -lt "$deadline" ] || fail "timed out after ${limit}s waiting for $what"
        sleep 0.1
    done
}

# A clean environment: nothing of the caller's desktop session may leak in.
unset DBUS_SESSION_BUS_ADDRESS AT_SPI_BUS_ADDRESS DISPLAY WAYLAND_DISPLAY XAUTHORITY SESSION_MANAGER
export XDG_RUNTIME_DIR="$work/runtime" # at-spi puts its bus socket here
export HOME="$work/home"               # nothing the game or the buses write lands in the real home
export XDG_CONFIG_HOME="$HOME/.config" XDG_CACHE_HOME="$HOME/.cache" XDG_DATA_HOME="$HOME/.local/share"
export GSETTINGS_BACKEND=memory        # no dconf service on the private bus
mkdir -p "$XDG_RUNTIME_DIR" "$HOME"
chmod 700 "$XDG_RUNTIME_DIR"

# 1. The X server, on a display number it picks itself.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
display_ready() { [ -s "$work/display" ] || { alive "$xvfb_pid" || fail "Xvfb exited"; return 1; }; }
wait_for 20 "Xvfb to choose a display" display_ready
export DISPLAY=":$(tr -dc '0-9' <"$work/display")"
log "Xvfb $xvfb_pid on $DISPLAY"

# 2. A private session bus.
dbus-daemon --session --nofork --nopidfile --print-address=4 4>"$work/session.address" >"$work/session.log" 2>&1 &
session_pid=$!
session_ready() { [ -s "$work/session.address" ] || { alive "$session_pid" || fail "dbus-daemon exited"; return 1; }; }
wait_for 20 "the session bus" session_ready
export DBUS_SESSION_BUS_ADDRESS="$(head -n1 "$work/session.address")"
log "session bus $session_pid at $DBUS_SESSION_BUS_ADDRESS"

has_owner() { # has_owner ADDRESS NAME
    dbus-send --bus="$1" --print-reply=literal --reply-timeout=2000 --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner "string:$2" 2>/dev/null | grep -q true
}

# 3. The accessibility bus and its registry.
/usr/libexec/at-spi-bus-launcher --launch-immediately >"$work/launcher.log" 2>&1 &
launcher_pid=$!
launcher_ready() { has_owner "$DBUS_SESSION_BUS_ADDRESS" org.a11y.Bus || { alive "$launcher_pid" || fail "at-spi-bus-launcher exited"; return 1; }; }
wait_for 20 "org.a11y.Bus on the session bus" launcher_ready
a11y_address=""
a11y_ready() {
    a11y_address="$(dbus-send --session --print-reply=literal --reply-timeout=2000 --dest=org.a11y.Bus /org/a11y/bus \
        org.a11y.Bus.GetAddress 2>/dev/null | tr -d ' \n')"
    [ -n "$a11y_address" ]
}
wait_for 20 "the accessibility bus address" a11y_ready
a11y_bus_pid="$(ps -o pid= --ppid "$launcher_pid" 2>/dev/null | tr -d ' ' | head -n1)"
log "accessibility bus ${a11y_bus_pid:-?} at $a11y_address"

# Started here rather than by bus activation, so that it is our child and stops with us.
/usr/libexec/at-spi2-registryd >"$work/registry.log" 2>&1 &
registry_pid=$!
registry_ready() { has_owner "$a11y_address" org.a11y.atspi.Registry || { alive "$registry_pid" || fail "at-spi2-registryd exited"; return 1; }; }
wait_for 20 "the accessibility registry" registry_ready
log "registry $registry_pid"

