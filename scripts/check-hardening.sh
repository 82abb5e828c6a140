#!/usr/bin/env bash
# Checks beyond the test suite, run by scripts/test.sh after build/ is built:
#  - the libFuzzer targets of fuzz/ (the packet reader; a packet through a dataset and
#    back; the parameter file as initialisation loads it), each for KZT_FUZZ_SECONDS
#    (60 by default), when clang++ is present; a finding fails the run and leaves its
#    input in build-fuzz/;
#  - one station scenario under valgrind, long entries included, whose memory errors or
#    definite leaks fail the run.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${KZT_FUZZ_SECONDS:-60}
jobs=${KZT_JOBS:-2}
export QT_QPA_PLATFORM=offscreen

if command -v clang++ >/dev/null; then
  CXX=clang++ cmake -S fuzz -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build-fuzz -j"$jobs"
  for target in packet_fuzz dataset_fuzz parameters_fuzz; do
    corpus=build-fuzz/corpus/$target
    mkdir -p "$corpus"
    log=build-fuzz/$target.log
    echo "check-hardening: fuzzing $target for ${seconds}s ($log)" >&2
    if ! (cd build-fuzz && "./$target" -max_total_time="$seconds" -rss_limit_mb=1024 -timeout=10 \
            -dict=../fuzz/packet.dict "corpus/$target" ../fuzz/seeds) >"$log" 2>&1; then
      tail -n 80 "$log" >&2
      echo "check-hardening: $target found a fault; its input is in build-fuzz/" >&2
      exit 1
    fi
    grep -E '^Done' "$log" >&2
  done
else
  echo "check-hardening: clang++ is not installed; the fuzz targets did not run" >&2
fi

station=$(mktemp -d)
trap 'rm -rf "$station"' EXIT
build/bin/kzt-station --init-sample "$station" 2>/dev/null
echo "check-hardening: a station order under valgrind" >&2
valgrind --quiet --error-exitcode=99 --leak-check=full --errors-for-leak-kinds=definite \
  build/bin/kzt-station --host-exe "$station/kzt-station" \
    --kind P --product 1001 --name "HAMBÚRGUER ARTESANAL" --sale-open True \
    --customer CLIENTE-0000000001 --consumer CONSUMIDOR-00000001 --time "2024-05-17 12:34:56" \
    --do keypad:12345678901234567890 --do press:btnEsperaProd --do press:sbt01 \
    --do search:30 --do press:sbtPesquisa --do editor:" SEM SAL" --do press:sbtEditaDesc \
    --do press:sptConfirmar >/dev/null
echo "check-hardening: valgrind found nothing" >&2
