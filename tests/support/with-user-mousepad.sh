#!/bin/sh
# with-user-mousepad.sh CMD [ARGS...]
# Runs CMD as on a desktop where the user already runs Mousepad: a session D-Bus of the
# user's, exported to CMD as DBUS_SESSION_BUS_ADDRESS, with Mousepad on it. Mousepad shows
# on an X server of its own (with-x11.sh), so that it cannot receive the test's keys. Stops
# the bus and Mousepad by process ID and exits with CMD's exit code.
set -u

if [ $# -eq 0 ]; then
    echo "usage: $0 CMD [ARGS...]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)

if [ "${USER_MOUSEPAD_TEST_DISPLAY:-}" = "" ]; then
    USER_MOUSEPAD_TEST_DISPLAY="$DISPLAY" exec "$here/with-x11.sh" --no-wm "$0" "$@"
fi
test_display="$USER_MOUSEPAD_TEST_DISPLAY"
unset USER_MOUSEPAD_TEST_DISPLAY

work=$(mktemp -d "${TMPDIR:-/tmp}/with-user-mousepad.XXXXXX") || exit 2
bus_pid=""
editor_pid=""
cmd_pid=""
cleanup() {
    for pid in $cmd_pid $editor_pid $bus_pid; do
        kill "$pid" 2>/dev/null
    done
    for pid in $cmd_pid $editor_pid; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

mkdir -m 700 "$work/home" "$work/runtime"
dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$work/address" 4>"$work/pid" || exit 2
bus_pid=$(tr -d '\n' <"$work/pid")
DBUS_SESSION_BUS_ADDRESS=$(tr -d '\n' <"$work/address")
export DBUS_SESSION_BUS_ADDRESS

HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
    mousepad >"$work/mousepad.log" 2>&1 &
editor_pid=$!
tries=0
until xdotool search --onlyvisible --pid "$editor_pid" >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ] || ! kill -0 "$editor_pid" 2>/dev/null; then
        echo "with-user-mousepad: Mousepad did not show its window:" >&2
        cat "$work/mousepad.log" >&2
        exit 2
    fi
    sleep 0.05
done

DISPLAY="$test_display" "$@" &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=""
exit "$status"
