#!/usr/bin/env bash
# Sets up, builds and runs every test: a normal build, an address and
# undefined-behaviour sanitizer build of the whole suite, and a thread
# sanitizer build of the delivery and teardown tests.
set -euo pipefail
cd "$(dirname "$0")/.."

./scripts/setup.sh

configure_and_build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
  cmake --build "$dir"
}

echo "== tests"
configure_and_build build -DCMAKE_BUILD_TYPE=RelWithDebInfo
ctest --test-dir build --output-on-failure

echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
configure_and_build build-asan -DCMAKE_BUILD_TYPE=Debug -DQZCAM_SANITIZE=address,undefined \
  -DQZCAM_BUILD_BENCH=OFF
ASAN_OPTIONS=abort_on_error=1:detect_leaks=1 \
UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
  ctest --test-dir build-asan --output-on-failure

echo "== delivery and teardown tests under ThreadSanitizer"
configure_and_build build-tsan -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQZCAM_SANITIZE=thread \
  -DQZCAM_BUILD_BENCH=OFF
TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
  ctest --test-dir build-tsan -L threads --output-on-failure

echo "== fuzz targets, a fixed number of runs from the seed corpus"
# Only the targets: the plug-in links with --no-undefined, which clang's
# sanitizer runtimes do not allow for shared libraries.
CXX=clang++ cmake -S . -B build-fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DQZCAM_SANITIZE=address,undefined -DQZCAM_FUZZ=ON -DQZCAM_BUILD_TESTS=OFF \
  -DQZCAM_BUILD_BENCH=OFF >/dev/null
cmake --build build-fuzz --target fuzz_topology fuzz_imageprocessor
./scripts/fuzz.sh topology -runs=20000 -seed=1
./scripts/fuzz.sh imageprocessor -runs=100000 -seed=1

echo "== lock annotations of the SDK and the driver, checked by clang"
CXX=clang++ cmake -S . -B build-clang -G Ninja -DCMAKE_BUILD_TYPE=Debug -DQZCAM_THREAD_SAFETY=ON \
  -DQZCAM_BUILD_TESTS=OFF -DQZCAM_BUILD_BENCH=OFF >/dev/null
cmake --build build-clang --target qzcambaumer_core bgapi2_genicam

echo "== all tests passed"
