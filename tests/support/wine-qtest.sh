#!/bin/sh
# wine-qtest.sh TEST.exe [ARGS...]
# Runs a Qt test program under wine (with-wine.sh) and shows its log. Under wine a static
# Qt test writes nothing to the console it was given, so the log goes to a file (the host's
# path through wine's Z: drive) that is shown afterwards.
set -u
log=$(mktemp "${TMPDIR:-/tmp}/wine-qtest.XXXXXX") || exit 2
trap 'rm -f "$log"' EXIT
"$(dirname "$0")/with-wine.sh" "$@" -o "Z:$(echo "$log" | tr / '\\\\'),txt"
status=$?
cat "$log"
exit $status
