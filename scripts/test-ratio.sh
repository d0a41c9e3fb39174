#!/usr/bin/env bash
# Prints the lines of test code (tests/, with its fakes and helpers) against
# the lines of product code, and their ratio; C++ sources and headers only.
set -euo pipefail
cd "$(dirname "$0")/.."
count() { git ls-files -- "$@" | grep -E '\.(cpp|h)$' | xargs -r cat | wc -l; }
tests=$(count tests)
product=$(count app common settings serialconfig serialport about qt)
awk -v t="$tests" -v p="$product" \
  'BEGIN { printf "test code: %d lines, product code: %d lines, ratio %.2f\n", t, p, t / p }'
