#!/bin/sh
# check-windows-package.sh BUILD_DIR VERSION
# Makes the Windows installer and zip from a cross build with cpack, then checks:
#   the zip holds the portable layout (no uninstaller, which would mark an installed copy);
#   the installer, run silently in a throw-away wine prefix, installs that layout beside
#   its uninstaller into %LOCALAPPDATA%\Programs\Tolvane Quillbay, adds the Start menu
#   entry and registers itself for the user;
#   the installed program keeps its database in %LOCALAPPDATA%\Tolvane Quillbay and its
#   targets.ini in %APPDATA%\Tolvane Quillbay; while it runs, installer and uninstaller
#   give up and leave its files alone;
#   the uninstaller, run silently, removes every installed file, the entry and the
#   registration, and keeps the user's Messages and settings and any file of the user's.
set -eu

if [ $# -ne 2 ]; then
    echo "usage: $0 BUILD_DIR VERSION" >&2
    exit 2
fi
here=$(cd "$(dirname "$0")" && pwd)
# wine wants a display; the check runs on an Xvfb of its own.
if [ -z "${QB_PACKAGE_DISPLAY_READY:-}" ]; then
    QB_PACKAGE_DISPLAY_READY=1 exec "$here/../support/with-x11.sh" --no-wm "$0" "$@"
fi
build=$1
version=$2

work=$(mktemp -d "${TMPDIR:-/tmp}/check-windows-package.XXXXXX")
WINEPREFIX=$work/prefix
export WINEPREFIX
export WINEDEBUG=-all
# No .NET or web engine installers; no menu entries or icons in the real home for the
# Start menu entry.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
cleanup() {
    if [ -d "$WINEPREFIX" ]; then
        wineserver -k 2>/dev/null || true
        timeout 20 wineserver -w 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM HUP

failures=0
fail() {
    echo "FAIL: $*" >&2
    failures=$((failures + 1))
}

# same_list WHAT EXPECTED ACTUAL: both sorted lists, one path a line.
same_list() {
    if [ "$2" != "$3" ]; then
        fail "$1"
        printf 'expected:\n%s\nactual:\n%s\n' "$2" "$3" >&2
    fi
}

# run_to_end WHAT PROGRAM ARGS...: runs a Windows program and waits until every process of
# the prefix has ended (an uninstaller goes on from a copy of itself).
run_to_end() {
    what=$1
    shift
    wine "$@" || fail "$what ended with exit code $?"
    if ! timeout 60 wineserver -w; then
        fail "$what did not end within 60 s (a box waiting for an answer?)"
        exit 1
    fi
}

# wait_for WHAT CONDITION...: polls CONDITION for up to 60 s; fails and ends the check if
# it does not hold by then.
wait_for() {
    what=$1
    shift
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 600 ]; then
            fail "$what"
            exit 1
        fi
        sleep 0.1
    done
}

program_window() {
    xdotool search --name '^Tolvane Quillbay$' >/dev/null 2>&1
}

# The files of a folder, relative to it, sorted.
files_in() {
    (cd "$1" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
}

layout=$(LC_ALL=C sort <<END
quillbay.exe
targets.ini
help/index.html
sql/examples.sql
sql/quillbay-postgresql.sql
sql/quillbay-sqlite.sql
END
)

name=quillbay-$version-win64
if ! cpack --config "$build/CPackConfig.cmake" -G "NSIS;ZIP" -B "$work/packages" >"$work/cpack.log" 2>&1; then
    cat "$work/cpack.log" >&2
    exit 1
fi
setup=$work/packages/$name-setup.exe
zip=$work/packages/$name.zip
for package in "$setup" "$zip"; do
    [ -f "$package" ] || { cat "$work/cpack.log" >&2; fail "no $(basename "$package")"; exit 1; }
done

# The zip unpacks into one folder named after the package.
mkdir "$work/zip"
(cd "$work/zip" && cmake -E tar xf "$zip")
same_list "folders in the zip" "$name" "$(ls "$work/zip")"
same_list "files in the zip" "$layout" "$(files_in "$work/zip/$name")"

# Install silently.
run_to_end "silent install" "$setup" /S
home=""
for folder in "$WINEPREFIX"/drive_c/users/*; do
    [ "$(basename "$folder")" = Public ] || home=$folder
done
installed="$home/AppData/Local/Programs/Tolvane Quillbay"
shortcut="$home/AppData/Roaming/Microsoft/Windows/Start Menu/Programs/Tolvane Quillbay.lnk"
key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\TolvaneQuillbay'
if [ ! -d "$installed" ]; then
    fail "nothing installed in $installed"
    exit 1
fi
same_list "installed files" "$(printf '%s\nUninstall.exe' "$layout" | LC_ALL=C sort)" "$(files_in "$installed")"
[ -f "$shortcut" ] || fail "no Start menu entry"
registered=$(wine reg query "$key" /v QuietUninstallString 2>/dev/null | tr -d '\r' || true)
case $registered in
    *'AppData\Local\Programs\Tolvane Quillbay\Uninstall.exe" /S'*) ;;
    *) fail "uninstaller not registered for the user: $registered" ;;
esac

# The installed program makes its database in the user's local folder, not beside itself,
# and copies the supplied targets.ini to the user's roaming folder.
database="$home/AppData/Local/Tolvane Quillbay/quillbay.db"
wine "$installed/quillbay.exe" >"$work/program.log" 2>&1 &
wait_for "the installed program shows no window" program_window
wait_for "the installed program made no database in %LOCALAPPDATA%" test -s "$database"
[ ! -e "$installed/quillbay.db" ] || fail "the installed program made its database beside itself"
wait_for "the supplied targets.ini was not copied to %APPDATA%" \
    test -s "$home/AppData/Roaming/Tolvane Quillbay/targets.ini"

# While it runs, a new install and the uninstaller give up (exit code 2) and change nothing.
before=$(files_in "$installed")
status=0
wine "$setup" /S || status=$?
[ "$status" -eq 2 ] || fail "silent install over the running program ended with $status, not 2"
# In place (_?=), the uninstaller's exit code is its own. NSIS takes the rest of the command
# line after _?= as the folder, unquoted, while wine quotes an argument holding a space; so
# the folder goes as words, which wine joins with single spaces.
folder=$(winepath -w "$installed")
status=0
set -f
# shellcheck disable=SC2086
wine "$installed/Uninstall.exe" /S _?=$folder || status=$?
set +f
[ "$status" -eq 2 ] || fail "silent uninstall of the running program ended with $status, not 2"
same_list "files after trying while the program runs" "$before" "$(files_in "$installed")"
wineserver -k
timeout 20 wineserver -w || true

# The user's files, and one of the user's own in the program's folder.
echo "[Options]" >"$home/AppData/Roaming/Tolvane Quillbay/options.ini"
echo "mine" >"$installed/notes.txt"

run_to_end "silent uninstall" "$installed/Uninstall.exe" /S
same_list "left in the program's folder" "notes.txt" "$(files_in "$installed")"
[ ! -e "$shortcut" ] || fail "Start menu entry left behind"
if wine reg query "$key" >/dev/null 2>&1; then
    fail "uninstall registration left behind"
fi
[ -f "$home/AppData/Roaming/Tolvane Quillbay/options.ini" ] || fail "settings removed by a silent uninstall"
[ -f "$database" ] || fail "Messages removed by a silent uninstall"

if [ "$failures" -ne 0 ]; then
    echo "$failures check(s) failed" >&2
    exit 1
fi
echo "installer and zip checked"
