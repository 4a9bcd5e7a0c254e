#!/bin/sh
# with-wine.sh PROGRAM.exe [ARGS...]
# Runs a Windows program under wine with a throw-away wine prefix, on its own Xvfb display
# (see with-x11.sh), and exits with the program's exit code. No window manager runs:
# wine then decides focus and activation itself, as Windows does, where a window
# manager's own focus changes would arrive late and undo them. Every process of the
# prefix is stopped while the display still runs, then the prefix is removed.
set -u

if [ $# -eq 0 ]; then
    echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
    exit 2
fi

if [ -z "${QB_WINE_DISPLAY_READY:-}" ]; then
    QB_WINE_DISPLAY_READY=1 exec "$(dirname "$0")/with-x11.sh" --no-wm "$0" "$@"
fi

export WINEDEBUG=-all
# No .NET or web engine installers on first start of the prefix, and no menu entries or
# icons of installed programs in the host's home.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"

# Wine's messages are kept in a file, so that a start that never reached the program can
# be told from the program's own failure; they are shown once the attempt is over.
errors=$(mktemp "${TMPDIR:-/tmp}/with-wine-errors.XXXXXX") || exit 2
WINEPREFIX=
show_errors() {
    [ -s "$errors" ] && cat "$errors" >&2
    : >"$errors"
}
remove_prefix() {
    [ -n "$WINEPREFIX" ] || return 0
    wineserver -k 2>/dev/null
    timeout 20 wineserver -w 2>/dev/null
    rm -rf "$WINEPREFIX"
    WINEPREFIX=
}
cleanup() {
    show_errors
    remove_prefix
    rm -f "$errors"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

# Now and then wine fails to start any process of a new prefix ("could not load
# kernel32.dll", exit code 53). None of the program's code has run then, so it is started
# again, in another prefix; any other outcome is the program's own.
attempt=1
while :; do
    WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/with-wine.XXXXXX") || exit 2
    export WINEPREFIX

    # wine leaves the QT_ variables out of a program's environment; they reach it through
    # the user's environment in the registry instead.
    if env | grep -q '^QT_'; then
        {
            printf 'REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Environment]\r\n'
            env | sed -n 's/^\(QT_[A-Za-z0-9_]*\)=\(.*\)$/"\1"="\2"/p' | sed 's/\\/\\\\/g; s/$/\r/'
        } >"$WINEPREFIX/qt-environment.reg"
        wine regedit /S "$WINEPREFIX/qt-environment.reg" 2>>"$errors"
    fi

    wine "$@" 2>>"$errors"
    status=$?
    if [ "$status" -ne 53 ] || [ "$attempt" -ge 3 ] ||
        ! grep -q '^wine: could not load kernel32\.dll' "$errors"; then
        exit "$status"
    fi
    show_errors
    echo "with-wine.sh: wine could not start $1 in the new prefix $WINEPREFIX;" \
        "starting it again in another (attempt $((attempt + 1)) of 3). Free space there:" >&2
    df -h "$WINEPREFIX" >&2
    remove_prefix
    attempt=$((attempt + 1))
done
