#!/usr/bin/env bash
# Fuzzes each target for a set time (default 600 seconds each) with clang's
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer, starting from the
# seeds in fuzz/corpus/<target>. New inputs that reach new code are kept in
# build-fuzz/corpus/<target>; a crash leaves its input in build-fuzz/crashes
# (add it to the seeds once fixed, so every test run replays it).
# Usage: scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh fuzz
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(ini_fuzz display_fuzz settings_text_fuzz line_errors_fuzz ansi_colours_fuzz hex_input_fuzz)

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTREL_FUZZ=ON -DKESTREL_SANITIZE=ON -DKESTREL_GUI=OFF -DKESTREL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
mkdir -p build-fuzz/crashes
failed=()
for t in "${targets[@]}"; do
  echo "== $t for ${seconds}s"
  mkdir -p build-fuzz/corpus/"$t"
  build-fuzz/fuzz/"$t" -max_total_time="$seconds" -max_len=4096 -timeout=20 \
    -artifact_prefix=build-fuzz/crashes/"$t"- build-fuzz/corpus/"$t" fuzz/corpus/"$t" ||
    failed+=("$t")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "crashes in: ${failed[*]} (inputs in build-fuzz/crashes)"
  exit 1
fi
echo "no crashes"
