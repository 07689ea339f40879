#!/usr/bin/env bash
# Builds the viewer and saves a picture of its window showing the Bayer
# simulated camera live, on the offscreen platform: docs/viewer.png by
# default, or the path given.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target qzcam-view
out=${1:-docs/viewer.png}
mkdir -p "$(dirname "$out")"
QT_QPA_PLATFORM=offscreen SIMCAM_CONFIG= build/bin/qzcam-view \
  --camera "baumer SIM-BAYER-0002" --screenshot "$out" 2>/dev/null
echo "== $out"
