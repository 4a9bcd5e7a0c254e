#!/bin/sh
# with-user-mousepad.sh CMD [ARGS...]
# Runs CMD as on a desktop where the user already runs Mousepad: a session D-Bus of the
# user's, exported to CMD as DBUS_SESSION_BUS_ADDRESS, with Mousepad on it. Mousepad shows
# on an X server of its own (with-x11.sh), so that it cannot receive the test's keys. Stops
# the bus and Mousepad by process ID and exits with CMD's exit code.
set -u
wrapper=with-user-mousepad
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wrapper-common.sh"

usage_unless_command "$0 CMD [ARGS...]" "$@"
if [ "${USER_MOUSEPAD_TEST_DISPLAY:-}" = "" ]; then
    USER_MOUSEPAD_TEST_DISPLAY="$DISPLAY" exec "$here/with-x11.sh" --no-wm "$0" "$@"
fi
test_display="$USER_MOUSEPAD_TEST_DISPLAY"
unset USER_MOUSEPAD_TEST_DISPLAY
make_work

mkdir -m 700 "$work/home" "$work/runtime"
dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$work/address" 4>"$work/pid" || exit 2
started "$(tr -d '\n' <"$work/pid")"
DBUS_SESSION_BUS_ADDRESS=$(tr -d '\n' <"$work/address")
export DBUS_SESSION_BUS_ADDRESS

HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime" GSETTINGS_BACKEND=memory NO_AT_BRIDGE=1 \
    mousepad >"$work/mousepad.log" 2>&1 &
editor_pid=$!
started "$editor_pid"
wait_until "$editor_pid" "$work/mousepad.log" "Mousepad did not show its window" shows_window "$editor_pid"

DISPLAY="$test_display"
run_command "$@"
