#!/bin/sh
# with-x11.sh [--no-wm] CMD [ARGS...]
# Starts Xvfb on a free display and, unless --no-wm is given, the openbox window manager;
# runs CMD with DISPLAY pointing there; stops both whatever happens and exits with
# CMD's exit code.
set -u

wm=openbox
if [ "${1:-}" = "--no-wm" ]; then
    wm=""
    shift
fi
if [ $# -eq 0 ]; then
    echo "usage: $0 [--no-wm] CMD [ARGS...]" >&2
    exit 2
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/with-x11.XXXXXX") || exit 2
xvfb_pid=""
wm_pid=""
cmd_pid=""

cleanup() {
    for pid in $cmd_pid $wm_pid $xvfb_pid; do
        kill "$pid" 2>/dev/null
    done
    for pid in $cmd_pid $wm_pid $xvfb_pid; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Xvfb picks the first free display and writes its number to the given descriptor.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!

display=""
tries=0
while [ -z "$display" ]; do
    if ! kill -0 "$xvfb_pid" 2>/dev/null; then
        echo "with-x11: Xvfb did not start:" >&2
        cat "$work/xvfb.log" >&2
        exit 2
    fi
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ]; then
        echo "with-x11: Xvfb gave no display number" >&2
        exit 2
    fi
    sleep 0.05
    display=$(tr -d '\n' <"$work/display")
done
DISPLAY=":$display"
export DISPLAY
unset WAYLAND_DISPLAY

if [ -n "$wm" ]; then
    openbox --sm-disable >"$work/wm.log" 2>&1 &
    wm_pid=$!
    # Ready when openbox has announced itself as the EWMH window manager.
    tries=0
    until xprop -root _NET_SUPPORTING_WM_CHECK 2>/dev/null | grep -q 'window id'; do
        tries=$((tries + 1))
        if [ "$tries" -gt 200 ] || ! kill -0 "$wm_pid" 2>/dev/null; then
            echo "with-x11: openbox did not start:" >&2
            cat "$work/wm.log" >&2
            exit 2
        fi
        sleep 0.05
    done
fi

"$@" &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=""
exit "$status"
