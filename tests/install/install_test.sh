#!/usr/bin/env bash
# Installs the build tree into a temporary prefix, builds a host against the
# installed files only (CMake package, then pkg-config), runs it on the
# installed plug-in, and builds the .deb: install_test.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
prefix=$work/prefix

cmake --install "$build" --prefix "$prefix" >/dev/null
[ -f "$prefix/lib/udev/rules.d/70-qzcam-usb3vision.rules" ] || {
  echo "the USB3 Vision rule is not installed"
  exit 1
}
cmake -S "$here/host" -B "$work/host" -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build "$work/host" >/dev/null
unset SIMCAM_CONFIG
output=$("$work/host/installed_host" 2>"$work/host.err") || true
if [ "$output" != "frame 640x480" ]; then
  echo "the installed host got no frame: $output"
  tail -5 "$work/host.err"
  exit 1
fi
"$work/host/sdk_user"

# The SDK on its own, through its pkg-config file.
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
# shellcheck disable=SC2046
c++ -std=c++17 "$here/host/sdk_user.cpp" -o "$work/sdk" $(pkg-config --cflags --libs bgapi2_genicam) \
  -Wl,-rpath,"$prefix/lib"
"$work/sdk"

(cd "$build" && cpack -G DEB -B "$work/deb" >/dev/null)
contents=$(dpkg-deb -c "$work"/deb/qzcam_*.deb)
for file in qzcam/libqzCam_160d.so libbgapi2_genicam.so bin/qzcam-grab bin/qzcam-view cmake/qzcam/qzcamConfig.cmake \
  pkgconfig/bgapi2_genicam.pc include/qzcam/cameraobject.h udev/rules.d/70-qzcam-usb3vision.rules; do
  grep -q "$file" <<<"$contents" || { echo "the .deb lacks $file"; exit 1; }
done
echo "installed, built a host against the install, got a frame, packaged"
