#!/usr/bin/env bash
# Builds Kestrel Terminal and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/deps.sh run
cmake -S . -B build-run -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_TESTS=OFF -DKESTREL_BENCH=OFF >/dev/null
cmake --build build-run -j"$(nproc)" --target kestrel-terminal
exec build-run/qt/kestrel-terminal "$@"
