#!/bin/bash
# Usage: run-bench.sh [BUILD_DIR]
# Runs the store benchmark on the embedded SQLite file in /tmp, then on PostgreSQL over
# ODBC on a throw-away server started like the tests' one.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
build=${1:-$root/build}
bench="$build/bench/store/bench_store"
[ -x "$bench" ] || { echo "build the bench_store target first" >&2; exit 1; }

"$bench" --db /tmp/quillbay-bench.db
echo
"$root/tests/support/with-postgres.sh" "$root/sql/quillbay-postgresql.sql" "$bench" --odbc
