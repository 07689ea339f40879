#!/usr/bin/env bash
# Runs one fuzz target of build-fuzz (see scripts/test.sh for the build) from
# its seed corpus: scripts/fuzz.sh topology|imageprocessor [libFuzzer options].
# New inputs go to a temporary directory, crashes to build-fuzz/artifacts.
# For a long run: scripts/fuzz.sh topology -max_total_time=3600 -jobs=4
set -euo pipefail
cd "$(dirname "$0")/.."

target=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p build-fuzz/artifacts
# Full stacks on allocation, so that the suppression of Qt's own leak matches.
ASAN_OPTIONS=fast_unwind_on_malloc=0 \
LSAN_OPTIONS=suppressions=$PWD/tests/fuzz/lsan-suppressions.txt \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  "build-fuzz/tests/fuzz/fuzz_$target" -artifact_prefix=build-fuzz/artifacts/ \
  -print_final_stats=1 "$@" "$work" "tests/fuzz/corpus/$target"
