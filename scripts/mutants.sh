#!/usr/bin/env bash
# Fault-injection check of the test suites: applies each deliberate fault
# listed in scripts/mutants.txt to the product code, one at a time, rebuilds
# and runs the tests, and counts the faults the tests catch.
#
# Usage: scripts/mutants.sh [build-dir] [list]
# Each line of the list is   file <TAB> text <TAB> replacement
# (blank lines and lines starting with # are skipped). The text must occur
# exactly once in the file, or the fault is reported as "stale" and not
# counted. The source tree is restored after every fault, also on Ctrl+C.
#
# MUTANT_CTEST_ARGS, when set, is added to the ctest call (for example
# "-R '^(IniFile|cINI)'" to run only the suites that cover one area).
#
# Prints one line per fault (caught, MISSED, stale, broken: the fault does not
# compile) and a summary "N caught of M applied". Exits 0.
set -uo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-mutants}
list=${2:-scripts/mutants.txt}
export QT_QPA_PLATFORM=offscreen

cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKESTREL_TESTS=ON \
  -DKESTREL_BENCH=OFF >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null || {
  echo "the unchanged tree does not build" >&2
  exit 1
}

current=""
saved=""
restore() {
  if [ -n "$current" ]; then
    cp "$saved" "$current"
    current=""
  fi
}
trap 'restore; exit 130' INT TERM
saved=$(mktemp)

caught=0 applied=0 n=0
while IFS=$'\t' read -r file text replacement; do
  case "$file" in '' | '#'*) continue ;; esac
  n=$((n + 1))
  count=$(python3 - "$file" "$text" <<'EOF'
import sys
print(open(sys.argv[1], encoding="utf-8").read().count(sys.argv[2].encode().decode("unicode_escape")))
EOF
  )
  if [ "$count" != 1 ]; then
    printf '%3d stale   %s: %s\n' "$n" "$file" "$text"
    continue
  fi
  cp "$file" "$saved"
  current=$file
  python3 - "$file" "$text" "$replacement" <<'EOF'
import sys
path, old, new = sys.argv[1], *(s.encode().decode("unicode_escape") for s in sys.argv[2:4])
src = open(path, encoding="utf-8").read()
open(path, "w", encoding="utf-8").write(src.replace(old, new, 1))
EOF
  if ! cmake --build "$build" -j"$(nproc)" >/dev/null 2>&1; then
    printf '%3d broken  %s: %s\n' "$n" "$file" "$text"
    restore
    continue
  fi
  applied=$((applied + 1))
  if (cd "$build" && ctest -j"$(nproc)" --stop-on-failure --timeout 120 \
    -E 'package|install' ${MUTANT_CTEST_ARGS:-} >/dev/null 2>&1); then
    printf '%3d MISSED  %s: %s -> %s\n' "$n" "$file" "$text" "$replacement"
  else
    caught=$((caught + 1))
    printf '%3d caught  %s: %s\n' "$n" "$file" "$text"
  fi
  restore
  # Keep the build in step with the restored source for the next fault.
  touch "$file"
done <"$list"
rm -f "$saved"
cmake --build "$build" -j"$(nproc)" >/dev/null 2>&1
echo "$caught caught of $applied applied ($n listed)"
