#!/usr/bin/env bash
# Makes the README's screenshots from the real program under Xvfb: the main
# window with a board's output on COM1 (a pseudo-terminal), the configuration
# dialog, the About box, the Tools menu and the line-levels window.
# Usage: scripts/screenshots.sh [build-dir] [out-dir]   (default: build docs)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=${2:-docs}
scripts/deps.sh screens
mkdir -p "$out"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$build/qt/kestrel-terminal" "$work/"
printf '[SerialPort]\r\nPort=1\r\nSettings=19200,N,8,1\r\n[Devices]\r\nCOM1=%s\r\n' "$work/board" \
  >"$work/Serial.ini"
# The board: a pty that says three lines once the terminal has opened it.
python3 - "$work/board" <<'PY' &
import os, pty, sys, time
m, s = pty.openpty(); name = os.ttyname(s); os.close(s)
os.symlink(name, sys.argv[1])
time.sleep(4)
os.write(m, b"Hello from the board\r\nline two: temp=21.5C\r\nboot: v2.4.1 ok\r\n")
time.sleep(60)
PY
sleep 0.5
display=${SCREENSHOT_DISPLAY:-:$((80 + RANDOM % 9))}
Xvfb "$display" -screen 0 1100x700x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display QT_QPA_PLATFORM=xcb
"$work/kestrel-terminal" >/dev/null 2>&1 &
# Waits for a window by its exact title and prints its id.
window() {
  for _ in $(seq 50); do
    xdotool search --name "^$1\$" 2>/dev/null | head -1 && return 0
    sleep 0.2
  done
  echo "no window \"$1\"" >&2
  return 1
}
# Presses keys in a window; with no window manager the focus is set by hand.
keys() {
  local id=$1
  shift
  xdotool windowfocus --sync "$id" key --delay 100 "$@"
}
win=$(window 'Kestrel Terminal')
xdotool windowmove --sync "$win" 0 0
sleep 1
keys "$win" space # the port button has the focus at start: Open Port
sleep 3.5
import -window "$win" "$out/main-window.png"
eval "$(xdotool getwindowgeometry --shell "$win")"
xdotool mousemove 68 8 click 1 # Options
sleep 0.5
xdotool key Down Return # Serial Port ...
dialog=$(window 'Serial Port Configuration')
sleep 1
import -window "$dialog" "$out/config-dialog.png"
keys "$dialog" Tab space # from OK to Cancel
sleep 0.5
xdotool mousemove 163 8 click 1 # Help
sleep 0.5
xdotool key Down Return # About
about=$(window 'About Kestrel Terminal - Serial Communication Terminal')
sleep 1
import -window "$about" "$out/about.png"
xdotool mousemove --window "$about" 396 268 click 1 # OK
sleep 0.5
xdotool mousemove 120 8 click 1 # Tools
sleep 0.5
import -window root -crop "${WIDTH}x${HEIGHT}+0+0" "$out/tools-menu.png"
xdotool key Up Return # Line Levels
sleep 1
import -window root -crop "$((WIDTH + 260))x${HEIGHT}+0+0" "$out/line-levels.png"
echo "screenshots in $out/"
