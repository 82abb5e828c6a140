#!/usr/bin/env bash
# One live-server CTest entry: runs the data suite and the station's scenarios against the
# server scripts/live-servers.sh started. KIND is postgresql, odbc_postgresql or
# odbc_sqlite; the programs follow. Without the server it is skipped (exit 77), except in
# CI, where a live entry that cannot run is a failure.
set -uo pipefail
kind=$1
shift
var="KZT_LIVE_${kind^^}"
connection=${!var:-}
if [ -z "$connection" ]; then
  if [ -n "${CI:-}" ]; then
    echo "live-test: $var is not set: scripts/test.sh starts the live servers (scripts/live-servers.sh)" >&2
    exit 1
  fi
  echo "live-test: skipped, no live $kind server (scripts/live-servers.sh starts one)"
  exit 77
fi
export KZT_TEST_CONNECTION="$connection"
win1252="${var}_WIN1252"
export KZT_TEST_CONNECTION_WIN1252="${!win1252:-}"
status=0
for program in "$@"; do
  # The store's cases on the server, the server's own faults, the station end to end.
  "$program" --gtest_filter='*/external:Live*:Scenario*:StationOnServer*' --gtest_brief=1 || status=1
done
exit $status
