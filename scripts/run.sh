#!/usr/bin/env bash
# Sets up, builds and runs the grab tool on the default simulated cameras:
# the Bayer camera in free run with some frames saved as PNG, then the mono
# camera in software-trigger mode.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target qzcam-grab

out=${QZCAM_OUT:-out/frames}
rm -rf "$out"
grab=build/bin/qzcam-grab

echo "== cameras"
"$grab" --list
echo "== Bayer camera, free run"
"$grab" --camera "baumer SIM-BAYER-0002" --mode free --frames 300 --save "$out" --save-every 50
echo "== mono camera, software trigger"
"$grab" --camera "baumer SIM-MONO-0001" --mode software --trigger-rate 30 --frames 60
echo "== pictures are in $(cd "$out" && pwd)"
