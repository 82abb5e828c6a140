#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs the whole suite; then builds the
# suite again with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/) and runs
# it there. Any failure or sanitizer finding fails the run.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/check-format.sh  # every C and C++ file as .clang-format writes it

export QT_QPA_PLATFORM=offscreen
jobs=${KZT_JOBS:-2}

# A throwaway PostgreSQL server and ODBC setup for the live entries, stopped on exit.
source scripts/live-servers.sh

cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"$jobs"
ctest --test-dir build --output-on-failure -j"$jobs"
scripts/check-kit.sh build
scripts/check-touch.sh build  # real taps on an X display: no tap-through, no bounced doubles
scripts/check-hardening.sh  # fuzz targets (with clang) and a station run under valgrind

if [ "${KZT_SKIP_ASAN:-0}" != 1 ]; then
  cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DKZT_SANITIZE=ON -DKZT_BUILD_BENCH=OFF >/dev/null
  cmake --build build-asan -j"$jobs"
  ctest --test-dir build-asan --output-on-failure -j"$jobs"
fi
