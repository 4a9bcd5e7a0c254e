#!/bin/sh
# with-tray.sh CMD [ARGS...]
# Like with-x11.sh (Xvfb and openbox), with trayer as the notification area at the
# bottom right; runs CMD once the tray has taken the system-tray selection and exits
# with CMD's exit code.
set -u
wrapper=with-tray
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wrapper-common.sh"

usage_unless_command "$0 CMD [ARGS...]" "$@"
if [ "${WITH_TRAY_INNER:-}" != 1 ]; then
    WITH_TRAY_INNER=1 exec "$here/with-x11.sh" "$0" "$@"
fi
unset WITH_TRAY_INNER
make_work

trayer --edge bottom --align right --widthtype request --height 24 >"$work/trayer.log" 2>&1 &
tray_pid=$!
started "$tray_pid"
# Ready when the tray's window is shown; trayer takes the selection before it maps.
wait_until "$tray_pid" "$work/trayer.log" "trayer did not start" shows_window "$tray_pid"

run_command "$@"
