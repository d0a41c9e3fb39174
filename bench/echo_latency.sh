#!/usr/bin/env bash
# Keystroke to echo on screen, for Kestrel Terminal and for tio running in
# xterm, in one run under Xvfb, each with its port on a pseudo-terminal that
# bench/echo_far.c plays the board on. Two kinds of trial: isolated keys (the
# board echoes each at once; measured from the key press) and a reply 4 ms
# after the echo (measured from the reply's write). Prints median, p90 and
# worst in milliseconds for each program and kind.
# The screen's and the processor's state drift over minutes, so two programs
# measured one after the other can differ by more than they really do. With
# ROUNDS=N each program is measured N times, taking turns, TRIALS trials a
# time, and the figures pooled over the rounds end the output.
# Usage: bench/echo_latency.sh [build-dir] [trials] [display]
#        ROUNDS=N measures each program N times, taking turns, and pools the trials
#        SHOT=prefix saves a screenshot of each program mid-run as prefix.NAME.KIND.png
#        EYE=poll reads the screen back continuously instead of when the server tells of drawing
#        (default: build 40 :$((70 + RANDOM % 9))); needs scripts/deps.sh bench
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
trials=${2:-40}
display=${3:-:$((70 + RANDOM % 9))}
scripts/deps.sh bench
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cc -O2 -o "$work/echo_far" bench/echo_far.c -lX11 -lXtst -lXdamage
cp "$build/qt/kestrel-terminal" "$work/"
printf '[SerialPort]\r\nPort=1\r\nSettings=115200,N,8,1\r\n[Devices]\r\nCOM1=%s\r\n' "$work/dev" \
  >"$work/Serial.ini"
Xvfb "$display" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work
unset QT_QPA_PLATFORMTHEME

window() { # NAME-PATTERN: the id of the visible window, once it is there
  for _ in $(seq 50); do
    xdotool search --onlyvisible --name "$1" 2>/dev/null | head -1 && return 0
    sleep 0.2
  done
  return 1
}

# stop PID: ends a program, by force once it has let two seconds pass (an
# xterm busy with its child can sit on the request).
stop() {
  kill "$1" 2>/dev/null || true
  for _ in $(seq 20); do
    kill -0 "$1" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$1" 2>/dev/null || true
  wait "$1" 2>/dev/null || true
}

# measure NAME KIND: one program, one kind of trial.
measure() {
  local name=$1 kind=$2 pid win
  rm -f "$work/dev"
  coproc FAR { ECHO_SAMPLES=$work/samples.$name.$kind "$work/echo_far" "$work/dev" "$kind" "$trials" 0 0 480 360 ${EYE:-}; }
  local far=$FAR_PID
  read -r _ <&"${FAR[0]}"
  case $name in
  kestrel)
    "$work/kestrel-terminal" >/dev/null 2>&1 &
    pid=$!
    win=$(window '^Kestrel Terminal$')
    xdotool windowmove --sync "$win" 0 0 windowsize --sync "$win" 640 420
    sleep 1
    xdotool windowfocus --sync "$win" key space # the port button has the focus at start
    sleep 0.5
    xdotool mousemove --sync 320 200 click 1 # into the display
    ;;
  tio)
    xterm -geometry 80x24+0+0 -e tio -b 115200 "$work/dev" &
    pid=$!
    win=$(window 'tio')
    xdotool windowmove --sync "$win" 0 0
    sleep 1
    xdotool windowfocus --sync "$win"
    ;;
  esac
  sleep 0.5
  echo go >&"${FAR[1]}"
  local figures
  [ -n "${SHOT:-}" ] && (sleep 2 && import -window root "$SHOT.$name.$kind.png") &
  read -r figures <&"${FAR[0]}"
  printf '%-8s %-9s median/p90/worst %s ms\n' "$name" "$kind" "$figures"
  # tio outlives its xterm (it waits for the device to come back).
  pkill -P "$pid" 2>/dev/null || true
  stop "$pid"
  wait "$far" 2>/dev/null || true
}

rounds=${ROUNDS:-1}
for kind in isolated reply; do
  for _ in $(seq "$rounds"); do
    measure kestrel "$kind"
    measure tio "$kind"
  done
done
[ "$rounds" -gt 1 ] || exit 0
echo "pooled over $rounds rounds:"
for kind in isolated reply; do
  for name in kestrel tio; do
    printf '%-8s %-9s median/p90/worst %s ms\n' "$name" "$kind" \
      "$("$work/echo_far" pool "$work/samples.$name.$kind")"
  done
done
