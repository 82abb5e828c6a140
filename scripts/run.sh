#!/usr/bin/env bash
# Installs what is missing, builds, writes the sample store into build/ and runs the
# station: interactive when a display is available, otherwise a scripted sample order.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build -j"${KZT_JOBS:-2}"
