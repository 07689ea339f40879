#!/usr/bin/env bash
# Installs every Debian package the build, tests, benchmarks and grab tool need.
# Idempotent: apt-get update and install run only when something is missing.
set -euo pipefail

packages=(
  build-essential cmake ninja-build pkg-config binutils
  qtbase5-dev fonts-dejavu-core
  libopencv-core-dev libopencv-imgproc-dev
  libaravis-dev libusb-1.0-0-dev aravis-tools aravis-tools-cli iproute2 util-linux
  udev
  libgtest-dev libgmock-dev libbenchmark-dev
  clang-format clang libclang-rt-14-dev
)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

echo "setup: installing ${missing[*]}"
sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
