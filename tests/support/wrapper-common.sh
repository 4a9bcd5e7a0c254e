# shellcheck shell=sh disable=SC2154
# Shared by the wrapper scripts (with-x11.sh, with-tray.sh, with-user-mousepad.sh); sourced
# with the caller's name in $wrapper. Each wrapper makes a work folder, starts its helper
# programs, then runs the command; on any exit it stops what it started by process ID, in
# the reverse order, and removes the folder.

# usage_unless_command USAGE ARGS...: exits 2 with USAGE when ARGS are empty.
usage_unless_command() {
    usage=$1
    shift
    if [ $# -eq 0 ]; then
        echo "usage: $usage" >&2
        exit 2
    fi
}

# make_work: a fresh folder in $work, removed on exit with everything noted by started.
make_work() {
    work=$(mktemp -d "${TMPDIR:-/tmp}/$wrapper.XXXXXX") || exit 2
    started_pids=""
    cmd_pid=""
    trap stop_all EXIT
    trap 'exit 130' INT
    trap 'exit 143' TERM HUP
}

# started PID: notes a helper program to stop on exit.
started() {
    started_pids="$1 $started_pids"
}

stop_all() {
    for pid in $cmd_pid $started_pids; do
        kill "$pid" 2>/dev/null
    done
    for pid in $cmd_pid $started_pids; do
        wait "$pid" 2>/dev/null
    done
    rm -rf "$work"
}

# wait_until PID LOG WHAT CONDITION...: polls CONDITION for up to 30 s; exits 2, showing
# LOG, if it does not hold by then or the program PID has ended.
wait_until() {
    wait_pid=$1
    wait_log=$2
    wait_what=$3
    shift 3
    tries=0
    until "$@"; do
        tries=$((tries + 1))
        if [ "$tries" -gt 600 ] || ! kill -0 "$wait_pid" 2>/dev/null; then
            echo "$wrapper: $wait_what:" >&2
            cat "$wait_log" >&2
            exit 2
        fi
        sleep 0.05
    done
}

# shows_window PID: the program PID has a visible window.
shows_window() {
    xdotool search --onlyvisible --pid "$1" >/dev/null 2>&1
}

# run_command CMD [ARGS...]: runs CMD and exits with its exit code.
run_command() {
    "$@" &
    cmd_pid=$!
    wait "$cmd_pid"
    status=$?
    cmd_pid=""
    exit "$status"
}
