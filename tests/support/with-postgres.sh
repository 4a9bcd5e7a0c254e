#!/bin/bash
# Usage: with-postgres.sh SCHEMA.sql COMMAND [ARGS...]
# Starts a throw-away PostgreSQL server on 127.0.0.1 and a free port, creates the database
# "quillbay" from SCHEMA.sql, defines the ODBC data source QuillBay for it in a private
# odbc.ini (ODBCINI), runs COMMAND, and always stops the server and removes its files.
# A server that cannot start is a failure, never a skip.
set -euo pipefail

schema=$1
shift

bindir=""
for candidate in /usr/lib/postgresql/*/bin; do
    [ -x "$candidate/initdb" ] && bindir=$candidate
done
if [ -z "$bindir" ]; then
    echo "with-postgres: no PostgreSQL server installed (initdb not found)" >&2
    exit 1
fi

# initdb refuses to run as root: then the server runs as the postgres user.
as_server=()
if [ "$(id -u)" -eq 0 ]; then
    as_server=(runuser -u postgres --)
fi

work=$(mktemp -d /tmp/qb-postgres.XXXXXX)
server_started=0
cleanup() {
    if [ "$server_started" -eq 1 ]; then
        "${as_server[@]}" "$bindir/pg_ctl" -D "$work/data" -m immediate -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
chmod 755 "$work"
[ "$(id -u)" -eq 0 ] && chown postgres: "$work"

port_in_use() { (exec 3<>"/dev/tcp/127.0.0.1/$1") 2>/dev/null; }

"${as_server[@]}" "$bindir/initdb" -D "$work/data" -U postgres -A trust -E UTF8 \
    --locale=C.UTF-8 --no-sync >"$work/initdb.log" 2>&1 || {
    cat "$work/initdb.log" >&2
    exit 1
}

port=""
for _ in $(seq 1 20); do
    candidate=$((20000 + RANDOM % 40000))
    port_in_use "$candidate" && continue
    if "${as_server[@]}" "$bindir/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 30 \
        -o "-c listen_addresses=127.0.0.1 -p $candidate -c unix_socket_directories=$work -c fsync=off -c synchronous_commit=off -c full_page_writes=off" \
        start >/dev/null 2>&1; then
        port=$candidate
        server_started=1
        break
    fi
done
if [ -z "$port" ]; then
    echo "with-postgres: the PostgreSQL server did not start" >&2
    cat "$work/server.log" >&2 || true
    exit 1
fi

psql=("$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h 127.0.0.1 -p "$port" -U postgres)
"${psql[@]}" -d postgres -c "create database quillbay" >/dev/null
"${psql[@]}" -d quillbay -f "$schema" >/dev/null

cat >"$work/odbc.ini" <<INI
[QuillBay]
Driver = PostgreSQL Unicode
Servername = 127.0.0.1
Port = $port
Database = quillbay
Username = postgres
Password =
INI
# The driver entries of the system, but without the driver's communication log, which
# would leave a psqlodbc_*.log in /tmp for every connection.
mkdir "$work/odbcsys"
sed -e 's/^\(CommLog\|Debug\)[[:space:]]*=.*/\1=0/' /etc/odbcinst.ini >"$work/odbcsys/odbcinst.ini"
: >"$work/odbcsys/odbc.ini"
export ODBCSYSINI="$work/odbcsys"
export ODBCINI="$work/odbc.ini"
export QB_TEST_ENGINE=postgresql
export QB_TEST_PSQL="${psql[*]} -d quillbay"

status=0
"$@" || status=$?
exit $status
