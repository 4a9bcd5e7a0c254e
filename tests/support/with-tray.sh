#!/bin/sh
# with-tray.sh CMD [ARGS...]
# Like with-x11.sh (Xvfb and openbox), with trayer as the notification area at the
# bottom right; runs CMD once the tray has taken the system-tray selection and exits
# with CMD's exit code.
set -u

if [ $# -eq 0 ]; then
    echo "usage: $0 CMD [ARGS...]" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)

if [ "${WITH_TRAY_INNER:-}" != 1 ]; then
    WITH_TRAY_INNER=1 exec "$here/with-x11.sh" "$0" "$@"
fi
unset WITH_TRAY_INNER

log=$(mktemp "${TMPDIR:-/tmp}/with-tray.XXXXXX") || exit 2
tray_pid=""
cmd_pid=""
cleanup() {
    for pid in $cmd_pid $tray_pid; do
        kill "$pid" 2>/dev/null
    done
    for pid in $cmd_pid $tray_pid; do
        wait "$pid" 2>/dev/null
    done
    rm -f "$log"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

trayer --edge bottom --align right --widthtype request --height 24 >"$log" 2>&1 &
tray_pid=$!

# Ready when the tray's window is shown; trayer takes the selection before it maps.
tries=0
until xdotool search --onlyvisible --pid "$tray_pid" >/dev/null 2>&1; do
    tries=$((tries + 1))
    if [ "$tries" -gt 200 ] || ! kill -0 "$tray_pid" 2>/dev/null; then
        echo "with-tray: trayer did not start:" >&2
        cat "$log" >&2
        exit 2
    fi
    sleep 0.05
done

"$@" &
cmd_pid=$!
wait "$cmd_pid"
status=$?
cmd_pid=""
exit "$status"
