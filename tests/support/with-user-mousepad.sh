#!/bin/sh
# with-user-mousepad.sh CMD [ARGS...]
# Runs CMD as on a desktop where the user already runs Mousepad: a session D-Bus of the
# user's, exported to CMD as DBUS_SESSION_BUS_ADDRESS, with Mousepad on it (shown on an X
# server of its own, so that it cannot receive the test's keys). Stops all of it by process
# ID and exits with CMD's exit code.
set -u

if [ $# -eq 0 ]; then
    echo "usage: $0 CMD [ARGS...]" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/with-user-mousepad.XXXXXX") || exit 2
bus_pid=""
xvfb_pid=""
editor_pid=""
cmd_pid=""
cleanup() {
    for pid in $cmd_pid $editor_pid $xvfb_pid $bus_pid; do
        kill "$pid" 2>/dev/null
    done
    for pid in $cmd_pid $editor_pid $xvfb_pid; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Waits up to 10 s for a condition, a command line, to hold.
await() {
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ]; then
            return 1
        fi
        sleep 0.05
    done
}

mkdir -m 700 "$work/home" "$work/runtime"
dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$work/address" 4>"$work/pid" || exit 2
bus_pid=$(tr -d '\n' <"$work/pid")
DBUS_SESSION_BUS_ADDRESS=$(tr -d '\n' <"$work/address")
export DBUS_SESSION_BUS_ADDRESS

Xvfb -displayfd 5 -screen 0 800x600x24 -nolisten tcp 5>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
if ! await test -s "$work/display"; then
    echo "with-user-mousepad: Xvfb did not start" >&2
    exit 2
fi
user_display=":$(tr -d '\n' <"$work/display")"

DISPLAY="$user_display" HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
    mousepad >"$work/mousepad.log" 2>&1 &
editor_pid=$!
if ! await sh -c "DISPLAY=$user_display xdotool search --onlyvisible --pid $editor_pid >/dev/null 2>&1"; then
    echo "with-user-mousepad: Mousepad did not show its window" >&2
    cat "$work/mousepad.log" >&2
    exit 2
fi

"$@" &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=""
exit "$status"
