#!/bin/sh
# with-wayland.sh sway|kwin [--xwayland] CMD [ARGS...]
# Starts a headless compositor (sway, or KWin's virtual one) with a session D-Bus of its own
# and runs CMD as its child, so that CMD has WAYLAND_DISPLAY, SWAYSOCK (sway) and, with
# --xwayland, DISPLAY of the compositor's Xwayland. Stops everything whatever happens and
# exits with CMD's exit code. sway refuses to run as root: run as root, the script makes the
# ordinary user quillbay-test and runs all of it as that user.
set -u
wrapper=with-wayland
here=$(cd "$(dirname "$0")" && pwd)
. "$here/wrapper-common.sh"

compositor=${1:-}
case "$compositor" in
sway | kwin) shift ;;
*) usage_unless_command "$0 sway|kwin [--xwayland] CMD [ARGS...]" ;;
esac
xwayland=no
if [ "${1:-}" = "--xwayland" ]; then
    xwayland=yes
    shift
fi
usage_unless_command "$0 sway|kwin [--xwayland] CMD [ARGS...]" "$@"

test_user=quillbay-test
if [ "$(id -u)" -eq 0 ]; then
    id "$test_user" >/dev/null 2>&1 || useradd --system --no-create-home --shell /usr/sbin/nologin "$test_user" || exit 2
    # The user must reach the command and the files of the build beside it.
    dir=$(cd "$(dirname "$(command -v "$1")")" && pwd)
    while [ "$dir" != "/" ]; do
        if ! runuser -u "$test_user" -- test -x "$dir"; then
            echo "$wrapper: letting $test_user pass through $dir" >&2
            chmod o+x "$dir" || exit 2
        fi
        dir=$(dirname "$dir")
    done
    exec runuser -u "$test_user" -- "$0" "$compositor" $([ "$xwayland" = yes ] && echo --xwayland) "$@"
fi

make_work
mkdir -m 700 "$work/home" "$work/runtime" "$work/bin"
HOME="$work/home"
XDG_RUNTIME_DIR="$work/runtime"
export HOME XDG_RUNTIME_DIR
unset WAYLAND_DISPLAY DISPLAY SWAYSOCK
# The desktop's own settings folders, not those of whoever runs the tests.
XDG_CONFIG_HOME="$work/home/.config"
XDG_DATA_HOME="$work/home/.local/share"
XDG_CACHE_HOME="$work/home/.cache"
export XDG_CONFIG_HOME XDG_DATA_HOME XDG_CACHE_HOME
mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"

dbus-daemon --session --fork --print-address=3 --print-pid=4 3>"$work/address" 4>"$work/dbus-pid" || exit 2
started "$(tr -d '\n' <"$work/dbus-pid")"
DBUS_SESSION_BUS_ADDRESS=$(tr -d '\n' <"$work/address")
export DBUS_SESSION_BUS_ADDRESS

# The command with its arguments quoted for sh, run by the compositor; its exit code and
# output land in the work folder.
{
    echo '#!/bin/sh'
    printf 'exec >"%s/output" 2>&1\n' "$work"
    printf '%s' "'$work/command-env'"
    for arg in "$@"; do
        printf " '%s'" "$(printf '%s' "$arg" | sed "s/'/'\\\\''/g")"
    done
    printf '\necho $? >"%s/status.new" && mv "%s/status.new" "%s/status"\n' "$work" "$work" "$work"
} >"$work/run"
# CMD sees the socket's full path, so that programs it starts find the compositor however
# they are run.
cat >"$work/command-env" <<'EOF'
#!/bin/sh
WAYLAND_DISPLAY="$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY"
export WAYLAND_DISPLAY
exec "$@"
EOF
chmod +x "$work/run" "$work/command-env"

case "$compositor" in
sway)
    {
        echo "output HEADLESS-1 resolution 1280x1024"
        if [ "$xwayland" = yes ]; then echo "xwayland force"; else echo "xwayland disable"; fi
        echo "exec $work/run"
    } >"$work/sway.conf"
    WLR_BACKENDS=headless WLR_LIBINPUT_NO_DEVICES=1 WLR_RENDERER=pixman \
        sway --config "$work/sway.conf" >"$work/compositor.log" 2>&1 &
    ;;
kwin)
    # kwin_wayland carries file capabilities that a container may not grant; a copy has none.
    # Its platform plugin only loads into a program of that name.
    cp "$(command -v kwin_wayland)" "$work/bin/kwin_wayland"
    set -- --virtual --no-lockscreen --width 1280 --height 1024 --socket wayland-qb
    [ "$xwayland" = yes ] && set -- "$@" --xwayland
    "$work/bin/kwin_wayland" "$@" "$work/run" >"$work/compositor.log" 2>&1 &
    ;;
esac
compositor_pid=$!
started "$compositor_pid"

finished() {
    [ -f "$work/status" ]
}
while ! finished; do
    if ! kill -0 "$compositor_pid" 2>/dev/null; then
        sleep 0.2
        finished && break
        cat "$work/output" 2>/dev/null
        echo "$wrapper: $compositor ended before the command did:" >&2
        cat "$work/compositor.log" >&2
        exit 2
    fi
    sleep 0.1
done
cat "$work/output"
exit "$(cat "$work/status")"
