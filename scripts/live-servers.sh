#!/usr/bin/env bash
# Live store servers for the test suite, sourced by scripts/test.sh (bash).
#
# Starts a throwaway PostgreSQL cluster (a temporary folder, a Unix socket in it, no TCP)
# and writes an ODBC setup beside it, exports the connection strings the live CTest
# entries read, and stops the cluster and removes the folder when the sourcing shell
# exits, however it exits. Also runs on its own: scripts/live-servers.sh COMMAND...
# runs COMMAND with the servers up, e.g. an interactive shell or a benchmark.
#
# Exported:
#   KZT_LIVE_POSTGRESQL, KZT_LIVE_POSTGRESQL_WIN1252   postgresql://... (direct)
#   KZT_LIVE_ODBC_POSTGRESQL, KZT_LIVE_ODBC_POSTGRESQL_WIN1252   odbc://DSN=...
#   KZT_LIVE_ODBC_SQLITE                               odbc://DSN=... (an SQLite file)
#   KZT_LIVE_BENCH                                     postgresql://... for bench/
#   KZT_LIVE_PG_LOG                                    the server's log file
#   ODBCSYSINI, ODBCINI                                the temporary ODBC setup

kzt_live_pg_bin=${KZT_PG_BIN:-/usr/lib/postgresql/15/bin}
kzt_live_dir=

kzt_live_as_owner() {
  # PostgreSQL refuses to run as root; the cluster belongs to the postgres user then.
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

kzt_live_stop() {
  [ -n "$kzt_live_dir" ] || return 0
  if [ -f "$kzt_live_dir/data/postmaster.pid" ]; then
    kzt_live_as_owner "$kzt_live_pg_bin/pg_ctl" -D "$kzt_live_dir/data" -m immediate \
      -w stop >/dev/null 2>&1 || true
  fi
  rm -rf "$kzt_live_dir"
  kzt_live_dir=
}

kzt_live_odbc_driver() {
  local found
  found=$(find /usr/lib /usr/local/lib -name "$1" -path '*odbc*' 2>/dev/null | head -n 1)
  if [ -z "$found" ]; then
    echo "live-servers: ODBC driver $1 not found (scripts/install-deps.sh installs it)" >&2
    return 1
  fi
  echo "$found"
}

kzt_live_start() {
  if [ ! -x "$kzt_live_pg_bin/initdb" ]; then
    echo "live-servers: no PostgreSQL 15 in $kzt_live_pg_bin (scripts/install-deps.sh installs it)" >&2
    return 1
  fi
  kzt_live_dir=$(mktemp -d /tmp/kzt-live-XXXXXX)
  chmod 755 "$kzt_live_dir"
  mkdir "$kzt_live_dir/data" "$kzt_live_dir/odbc"
  [ "$(id -u)" -ne 0 ] || chown postgres: "$kzt_live_dir" "$kzt_live_dir/data"

  local port=5432 sock=$kzt_live_dir
  kzt_live_as_owner "$kzt_live_pg_bin/initdb" -D "$kzt_live_dir/data" -U postgres -A trust \
    -E UTF8 --locale=C --no-sync >"$kzt_live_dir/initdb.log" 2>&1 || {
    cat "$kzt_live_dir/initdb.log" >&2
    return 1
  }
  # A test cluster: durability off; every statement with its duration in the log, named
  # by the client's application_name, so benchmarks can count round trips.
  kzt_live_as_owner "$kzt_live_pg_bin/pg_ctl" -D "$kzt_live_dir/data" -l "$kzt_live_dir/server.log" \
    -o "-k $sock -p $port -c listen_addresses= -c fsync=off -c synchronous_commit=off \
        -c full_page_writes=off -c max_connections=60 -c log_connections=on -c log_line_prefix='%m [%p] %a: '" \
    -w -t 60 start >/dev/null || {
    cat "$kzt_live_dir/server.log" >&2
    return 1
  }
  local db
  for db in kzt_pg kzt_odbc kzt_bench; do
    kzt_live_as_owner "$kzt_live_pg_bin/createdb" -h "$sock" -p "$port" -U postgres "$db" || return 1
  done
  # Databases whose own encoding is not UTF-8: the client encoding must be set regardless.
  for db in kzt_pg_w1252 kzt_odbc_w1252; do
    kzt_live_as_owner "$kzt_live_pg_bin/createdb" -h "$sock" -p "$port" -U postgres \
      -E WIN1252 --locale=C -T template0 "$db" || return 1
  done

  local psql sqlite
  psql=$(kzt_live_odbc_driver psqlodbcw.so) || return 1
  sqlite=$(kzt_live_odbc_driver libsqlite3odbc.so) || return 1
  cat >"$kzt_live_dir/odbc/odbcinst.ini" <<EOF
[PostgreSQL Unicode]
Driver=$psql

[SQLite3]
Driver=$sqlite
EOF
  cat >"$kzt_live_dir/odbc/odbc.ini" <<EOF
[kzt_pg]
Driver=PostgreSQL Unicode
Servername=$sock
Port=$port
Database=kzt_odbc
Username=postgres

[kzt_pg_w1252]
Driver=PostgreSQL Unicode
Servername=$sock
Port=$port
Database=kzt_odbc_w1252
Username=postgres

[kzt_sqlite]
Driver=SQLite3
Database=$kzt_live_dir/odbc-store.db
EOF
  # The module never creates a store; the tests fill this empty one.
  : >"$kzt_live_dir/odbc-store.db"

  local base="postgresql://host=$sock port=$port user=postgres"
  export KZT_LIVE_POSTGRESQL="$base dbname=kzt_pg"
  export KZT_LIVE_POSTGRESQL_WIN1252="$base dbname=kzt_pg_w1252"
  export KZT_LIVE_BENCH="$base dbname=kzt_bench"
  export KZT_LIVE_ODBC_POSTGRESQL="odbc://DSN=kzt_pg"
  export KZT_LIVE_ODBC_POSTGRESQL_WIN1252="odbc://DSN=kzt_pg_w1252"
  export KZT_LIVE_ODBC_SQLITE="odbc://DSN=kzt_sqlite"
  export KZT_LIVE_PG_LOG="$kzt_live_dir/server.log"
  export ODBCSYSINI="$kzt_live_dir/odbc" ODBCINI="$kzt_live_dir/odbc/odbc.ini"
  echo "live-servers: PostgreSQL 15 on $sock, ODBC setup in $ODBCSYSINI"
}

if [ "${BASH_SOURCE[0]}" = "$0" ]; then
  # Run on its own: the servers live as long as the command.
  set -euo pipefail
  trap kzt_live_stop EXIT
  trap 'exit 130' INT TERM
  kzt_live_start
  "$@"
else
  trap kzt_live_stop EXIT
  trap 'exit 130' INT TERM
  kzt_live_start || {
    kzt_live_stop
    return 1
  }
fi
