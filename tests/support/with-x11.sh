#!/bin/sh
# with-x11.sh [--no-wm] CMD [ARGS...]
# Starts Xvfb on a free display and, unless --no-wm is given, the openbox window manager;
# runs CMD with DISPLAY pointing there; stops both whatever happens and exits with
# CMD's exit code.
set -u
wrapper=with-x11
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wrapper-common.sh"

wm=openbox
if [ "${1:-}" = "--no-wm" ]; then
    wm=""
    shift
fi
usage_unless_command "$0 [--no-wm] CMD [ARGS...]" "$@"
make_work

# Xvfb picks the first free display and writes its number to the given descriptor.
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset \
    3>"$work/display" >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
started "$xvfb_pid"
display_known() {
    [ -f "$work/display" ] || return 1
    display=$(tr -d '\n' <"$work/display")
    [ -n "$display" ]
}
wait_until "$xvfb_pid" "$work/xvfb.log" "Xvfb did not start" display_known
DISPLAY=":$display"
export DISPLAY
unset WAYLAND_DISPLAY XDG_SESSION_TYPE

if [ -n "$wm" ]; then
    openbox --sm-disable >"$work/wm.log" 2>&1 &
    wm_pid=$!
    started "$wm_pid"
    # openbox announces itself before it loads its theme (slow while fontconfig's cache
    # is cold) and publishes its client list once it manages windows: wait for that.
    wm_ready() {
        xprop -root _NET_CLIENT_LIST 2>/dev/null | grep -q '^_NET_CLIENT_LIST(WINDOW)'
    }
    wait_until "$wm_pid" "$work/wm.log" "openbox did not start" wm_ready
fi

run_command "$@"
