#!/usr/bin/env bash
# Installs what is missing, builds, writes the sample store into build/ and runs the
# station: interactive when a display is available, otherwise a scripted sample order.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
# Only the kit: the station and the module with their libraries and the man page, what
# this script runs and `cmake --install` installs. The test programs and benchmarks are
# scripts/test.sh's to build.
cmake --build build -j"${KZT_JOBS:-2}" --target kit

station=build/bin/kzt-station
# The station's own directory holds the store and the parameter file the defaults look for.
if [[ ! -f build/bin/store.db ]]; then
  "$station" --init-sample build/bin
fi

# An order of product 1001, which has more occurrences than the dialog has buttons.
order=(--obligatory N --kind P --product 1001 --name "HAMBÚRGUER ARTESANAL"
       --current "" --sale-open True --wait "")

if [[ -n "${DISPLAY:-}" || -n "${WAYLAND_DISPLAY:-}" ]]; then
  exec "$station" "${order[@]}" "$@"
fi

shots=build/shots
mkdir -p "$shots"
echo "No display: running a scripted sample order." >&2
"$station" "${order[@]}" \
  --do editor:" SEM CEBOLA; BEM PASSADO; EXTRA QUEIJO; CAPRICHAR NO PONTO" \
  --do keypad:15 --do search:30 \
  --do press:sbt01 --do press:sbt08 --do press:sbt11 \
  --do press:sbtEditaDesc --do press:btnEsperaProd --do press:sbtPesquisa \
  --do dump --do shot:"$shots/observacao.png" --do press:sptConfirmar
"$station" --companion-shots "$shots" >/dev/null
echo "Screenshots of the dialog and of each companion dialog are in $shots/:" >&2
ls "$shots" >&2
