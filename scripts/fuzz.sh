#!/usr/bin/env bash
# Fuzzes each target for a set time (default 600 seconds each) with clang's
# libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer. New inputs that
# reach new code are added to the target's corpus under fuzz/corpus; a crash
# leaves its input in build-fuzz/crashes.
# Usage: scripts/fuzz.sh [seconds] [target...]
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh fuzz
seconds=${1:-600}
shift || true
targets=("$@")
[ ${#targets[@]} -eq 0 ] && targets=(ini_fuzz display_fuzz settings_text_fuzz line_errors_fuzz)

CC=clang-14 CXX=clang++-14 cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKESTREL_FUZZ=ON -DKESTREL_SANITIZE=ON -DKESTREL_GUI=OFF -DKESTREL_BENCH=OFF >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target "${targets[@]}"
mkdir -p build-fuzz/crashes
failed=()
for t in "${targets[@]}"; do
  echo "== $t for ${seconds}s"
  corpus=fuzz/corpus/$t
  build-fuzz/fuzz/"$t" -max_total_time="$seconds" -max_len=4096 -timeout=20 \
    -artifact_prefix=build-fuzz/crashes/"$t"- "$corpus" || failed+=("$t")
done
if [ ${#failed[@]} -gt 0 ]; then
  echo "crashes in: ${failed[*]} (inputs in build-fuzz/crashes)"
  exit 1
fi
echo "no crashes
