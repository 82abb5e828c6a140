#!/usr/bin/env bash
# Try the module on a database server: starts a throwaway PostgreSQL server (the one the
# test suite uses, scripts/live-servers.sh), loads the sample store into it, directly and
# through ODBC, writes a station folder whose parameter file names the sample store, prints
# how to reach it all, and keeps the server until you stop it (Ctrl-C, or a signal).
# Nothing outlives it: the server and its folder go when it stops.
#
#   scripts/try-server.sh [STATION_DIR]   (default build/try-server; run scripts/run.sh
#                                          first, which builds build/bin/kzt-station)
set -euo pipefail
cd "$(dirname "$0")/.."
station=${KZT_STATION:-build/bin/kzt-station}
folder=${1:-build/try-server}
[[ -x $station ]] || { echo "try-server: $station is missing: run scripts/run.sh first" >&2; exit 1; }
folder=$(mkdir -p "$folder" && cd "$folder" && pwd)

# shellcheck source=scripts/live-servers.sh
source scripts/live-servers.sh >/dev/null
# The same sample in the database reached directly and in the one the ODBC DSN names.
"$station" --init-sample "$folder" --connection "$KZT_LIVE_POSTGRESQL" --force 2>/dev/null
"$station" --init-sample "$folder/odbc" --connection "$KZT_LIVE_ODBC_POSTGRESQL" --force 2>/dev/null

cat <<INFO
try-server: a PostgreSQL server with the sample store is up.
  connection string:  $KZT_LIVE_POSTGRESQL
  ODBC DSN:           ${KZT_LIVE_ODBC_POSTGRESQL#odbc://}  (odbc://DSN=kzt_pg; set up in $ODBCSYSINI)
  station folder:     $folder
In another shell:
  export ODBCSYSINI=$ODBCSYSINI ODBCINI=$ODBCINI
  $station --host-exe $folder/pdv --connection "$KZT_LIVE_POSTGRESQL" --call getQtMaxObserv 1001
  $station --host-exe $folder/pdv --connection "$KZT_LIVE_ODBC_POSTGRESQL" --call getQtMaxObserv 1001
Ctrl-C stops the server and removes it.
INFO
sleep infinity &
sleeper=$!
trap 'kill "$sleeper" 2>/dev/null; kzt_live_stop' EXIT
wait "$sleeper"
