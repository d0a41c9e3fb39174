#!/usr/bin/env bash
# Builds everything and runs every test twice: once in an optimised build, once
# built with AddressSanitizer and UndefinedBehaviorSanitizer. Needs no display
# and no input. Exits non-zero when any test fails. Both folders are configured
# with every option spelled out, so a cache left by other commands (tests or
# benchmarks switched off) never leaves stale test programs in use. The .deb
# is made and checked by the optimised pass only, and so is the real-driver
# bench (ctest entry realdriver: the serial layer in a QEMU guest on the
# kernel's own drivers; it skips itself where the machine cannot boot one).
# Both folders build with Ninja. The optimised one compiles each library and
# test program as a few merged sources (a unity build), which takes about a
# third off its compile; the sanitizer one compiles every file on its own,
# so a file that leans on another's includes still fails here.
# The last line is the size of the test code against the product code.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh test
jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1

# A folder configured earlier with another generator is configured afresh.
configure() {
  local dir=$1
  shift
  if [ -f "$dir/CMakeCache.txt" ] && ! grep -qx 'CMAKE_GENERATOR:INTERNAL=Ninja' "$dir/CMakeCache.txt"; then
    rm -rf "$dir/CMakeCache.txt" "$dir/CMakeFiles"
  fi
  cmake -G Ninja -S . -B "$dir" "$@" >/dev/null
}

status=0
configure build -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_UNITY_BUILD=ON -DKESTREL_GUI=ON \
  -DKESTREL_TESTS=ON -DKESTREL_BENCH=ON -DKESTREL_FUZZ=OFF -DKESTREL_SANITIZE=OFF -DKESTREL_HARDEN=ON
cmake --build build -j"$jobs"
echo "== tests (optimised build)"
(cd build && ctest --output-on-failure -j"$jobs") || status=1

configure build-asan -DCMAKE_BUILD_TYPE=Debug -DCMAKE_UNITY_BUILD=OFF -DKESTREL_GUI=ON \
  -DKESTREL_TESTS=ON -DKESTREL_BENCH=OFF -DKESTREL_FUZZ=OFF -DKESTREL_SANITIZE=ON -DKESTREL_HARDEN=ON
cmake --build build-asan -j"$jobs"
echo "== tests (AddressSanitizer and UndefinedBehaviorSanitizer)"
(cd build-asan && ctest --output-on-failure -j"$jobs") || status=1
scripts/test-ratio.sh
exit $status
