#!/usr/bin/env bash
# Makes the README's screenshots from the real program under Xvfb: the main
# window after start, with some received text, and the configuration dialog.
# Usage: scripts/screenshots.sh [build-dir] [out-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-docs}
scripts/deps.sh screens
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$build/qt/kestrel-terminal" "$work/"
display=:$((90 + RANDOM % 9))
Xvfb "$display" -screen 0 1024x600x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display QT_QPA_PLATFORM=xcb
"$work/kestrel-terminal" >/dev/null 2>&1 &
for _ in $(seq 50); do xdotool search --name '^Kestrel Terminal$' >/dev/null 2>&1 && break; sleep 0.2; done
win=$(xdotool search --name '^Kestrel Terminal$' | head -1)
xdotool windowmove "$win" 0 0
sleep 1
import -window root -crop 900x520+0+0 "$out/main-window.png"
xdotool windowactivate --sync "$win" key alt+o
sleep 0.5
xdotool key Return
sleep 1
import -window root "$out/config-dialog.png"
echo "screenshots in $out/"
