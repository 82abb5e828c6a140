#!/usr/bin/env bash
# Installs what is missing, builds into build/ and runs the whole suite; then builds the
# suite again with AddressSanitizer and UndefinedBehaviorSanitizer (build-asan/) and runs
# it there, and the programs whose code starts threads with ThreadSanitizer (build-tsan/).
# Any failure or sanitizer finding fails the run.
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

if [ "${KZT_SKIP_TSAN:-0}" != 1 ]; then
  # The data routines, the C interface (hosts that unload or exit while a connect is given
  # up) and the live servers' data cases: every place the connection's threads meet the
  # caller's and the unload step. A report fails the test program (exit code 66). The
  # station's scenarios stay with the other stages: in an uninstrumented Qt, ThreadSanitizer
  # reports Qt's own thread pool, and Qt starts the station with a clone it does not see.
  cmake -S . -B build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKZT_TSAN=ON -DKZT_BUILD_BENCH=OFF >/dev/null
  cmake --build build-tsan -j"$jobs" --target server_tests c_interface_tests kzt00318
  ctest --test-dir build-tsan --output-on-failure -j"$jobs" -R '^(server_tests|c_interface_tests)$'
  for kind in postgresql odbc_postgresql odbc_sqlite; do
    # The options tests/CMakeLists.txt gives the CTest entries.
    TSAN_OPTIONS=halt_on_error=0:second_deadlock_stack=1:die_after_fork=0 \
      bash scripts/live-test.sh "$kind" build-tsan/bin/server_tests
  done
fi
