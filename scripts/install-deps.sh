#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the station need.
# Idempotent: does nothing when everything is already there.
set -euo pipefail

packages=(
  g++ cmake make pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6test6 qt6-qpa-plugins libgl-dev
  libsoci-dev libsoci-core4.0 libsoci-sqlite3-4.0 libsoci-odbc4.0 libsoci-postgresql4.0
  libboost-dev libsqlite3-dev sqlite3
  libpugixml-dev
  libgtest-dev libgmock-dev libbenchmark-dev
  fonts-liberation fonts-dejavu-core
  xvfb xauth
  # The C interface's JSON; the example hosts and the kit check (clicks on Xvfb, the
  # Python host, cpack's Debian package).
  nlohmann-json3-dev xdotool python3 dpkg-dev file
  # The Debian package: the man page from kzt-station --help, and its check.
  help2man lintian
  # Dialogs on Wayland, and a headless Wayland compositor to check them on.
  qt6-wayland weston
  # The format check (scripts/check-format.sh).
  clang-format
  # Fuzz targets (libFuzzer) and the station run under valgrind.
  clang libclang-rt-14-dev valgrind
  # A live store server for the tests: PostgreSQL, directly and through ODBC.
  postgresql libpq-dev unixodbc unixodbc-dev odbc-postgresql libsqliteodbc
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "install-deps: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: missing packages and not root; run as root or install them: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
