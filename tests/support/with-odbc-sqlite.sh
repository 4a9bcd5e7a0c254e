#!/bin/bash
# Usage: with-odbc-sqlite.sh COMMAND [ARGS...]
# Defines the ODBC data source QuillBay on an SQLite file in a temporary folder, through
# the SQLite3 ODBC driver and a private odbc.ini (ODBCINI), and runs COMMAND. The command
# creates the database file itself (QB_TEST_SQLITE_FILE).
set -euo pipefail

work=$(mktemp -d /tmp/qb-odbc-sqlite.XXXXXX)
trap 'rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

cat >"$work/odbc.ini" <<INI
[QuillBay]
Driver = SQLite3
Database = $work/quillbay.db
Timeout = 5000
INI
export ODBCINI="$work/odbc.ini"
export QB_TEST_ENGINE=odbc-sqlite
export QB_TEST_SQLITE_FILE="$work/quillbay.db"

status=0
"$@" || status=$?
exit $status
