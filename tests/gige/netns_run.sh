#!/usr/bin/env bash
# Runs a command in a private network namespace with only loopback up, so
# that a GigE Vision test's cameras and broadcasts stay inside it. Exits 77
# (skipped) with the reason where that cannot be had.
set -u
if ! command -v arv-fake-gv-camera-0.8 >/dev/null 2>&1; then
  echo "SKIP: arv-fake-gv-camera-0.8 is not installed (aravis-tools)"
  exit 77
fi
if ! unshare -n true 2>/dev/null; then
  echo "SKIP: network namespaces are not available here (unshare -n needs root or user namespaces)"
  exit 77
fi
exec unshare -n -- sh -c 'ip link set lo up && QZCAM_NETNS=1 exec "$@"' sh "$@"
