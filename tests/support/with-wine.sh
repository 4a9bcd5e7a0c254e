#!/bin/sh
# with-wine.sh PROGRAM.exe [ARGS...]
# Runs a Windows program under wine with a throw-away wine prefix, on its own Xvfb display
# (see with-x11.sh), and exits with the program's exit code. No window manager runs:
# wine then decides focus and activation itself, as Windows does, where a window
# manager's own focus changes would arrive late and undo them. The prefix's wine server
# is stopped and the prefix removed afterwards.
set -u

if [ $# -eq 0 ]; then
    echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
    exit 2
fi

here=$(cd "$(dirname "$0")" && pwd)
WINEPREFIX=$(mktemp -d "${TMPDIR:-/tmp}/with-wine.XXXXXX") || exit 2
export WINEPREFIX
export WINEDEBUG=-all
# No .NET or web engine installers on first start of the prefix.
export WINEDLLOVERRIDES="mscoree,mshtml="

cleanup() {
    wineserver -k 2>/dev/null
    wineserver -w 2>/dev/null
    rm -rf "$WINEPREFIX"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

"$here/with-x11.sh" --no-wm wine "$@"
