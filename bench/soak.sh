#!/usr/bin/env bash
# The soak: the real program under Xvfb holds COM1, mapped to a pseudo-terminal,
# with logging on, while the far end floods it with MEGABYTES of text lines.
# Reports MB/s drained, CPU seconds per MB, peak resident memory and its growth
# after the first 10 MB, and the delay of a key typed mid-flood. Passes only
# when the log holds every line exactly and memory stayed flat.
# With "nolog" as third argument the log stays off and the time prefix is on
# instead; the rate is then how fast the far end got rid of its data.
# Usage: bench/soak.sh [build-dir] [megabytes] [log|nolog] [display]
#        (default: build 1024 log :$((70 + RANDOM % 9)))
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
megabytes=${2:-1024}
mode=${3:-log}
scripts/deps.sh screens
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$build/qt/kestrel-terminal" "$work/"
printf '[SerialPort]\r\nPort=1\r\nSettings=115200,N,8,1\r\n[Devices]\r\nCOM1=%s\r\n' "$work/dev" \
  >"$work/Serial.ini"

display=${4:-:$((70 + RANDOM % 9))}
Xvfb "$display" -screen 0 1024x700x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display QT_QPA_PLATFORM=xcb
logarg="$work/soak.log"
[ "$mode" = nolog ] && logarg=-
python3 bench/soak_far.py "$work/dev" "$logarg" "$megabytes" "$work/expected" \
  >"$work/far.json" &
for _ in $(seq 50); do [ -e "$work/dev" ] && break; sleep 0.1; done
"$work/kestrel-terminal" >"$work/program.out" 2>&1 &
pid=$!
for _ in $(seq 50); do xdotool search --name '^Kestrel Terminal$' >/dev/null 2>&1 && break; sleep 0.2; done
win=$(xdotool search --name '^Kestrel Terminal$' | head -1)
xdotool windowmove "$win" 0 0
sleep 0.5
ticks=$(getconf CLK_TCK)
cpu() { awk '{print $14 + $15}' "/proc/$pid/stat"; }
rss() { awk '/^VmRSS/ {print $2}' "/proc/$pid/status"; }

if [ "$mode" = nolog ]; then
  # Options > Prefix Time To Receive Data, then Open Port.
  xdotool mousemove 68 8 click 1
  sleep 0.5
  xdotool key Down Down Return
  sleep 0.5
  cpu0=$(cpu)
  xdotool mousemove 772 371 click 1
  xdotool mousemove 400 200 click 1 # typed keys go to the display
  peak=0
  after10=0
  t0=$(date +%s)
  until [ -s "$work/far.json" ]; do
    r=$(rss)
    [ "$r" -gt "$peak" ] && peak=$r
    [ "$after10" -eq 0 ] && [ $(($(date +%s) - t0)) -ge 3 ] && after10=$r
    kill -0 "$pid" 2>/dev/null || { echo "FAIL: the program ended"; exit 1; }
    sleep 0.5
  done
  cpu1=$(cpu)
  python3 - "$work/far.json" "$cpu0" "$cpu1" "$ticks" "$peak" "$after10" <<'PY'
import json, sys
far = json.load(open(sys.argv[1]))
cpu0, cpu1, ticks = map(float, sys.argv[2:5])
peak, after10 = int(sys.argv[5]), int(sys.argv[6])
mb = far["bytes"] / 1048576
print(f"input {mb:.0f} MB, log off, time prefix on; drained {mb / far['write_seconds']:.1f} MB/s; "
      f"{(cpu1 - cpu0) / ticks / mb:.4f} CPU s/MB in the program")
print(f"resident memory: peak {peak / 1024:.1f} MB, after 3 s {after10 / 1024:.1f} MB")
print(f"key typed mid-flood reached the far end after {far['key_latency_ms']} ms")
ok = (peak - after10) < 10 * 1024 and far["key_latency_ms"] is not None
print("PASS" if ok else "FAIL")
sys.exit(0 if ok else 1)
PY
  exit $?
fi

# Open Port, then the log switch, which asks for the file first.
xdotool mousemove 772 371 click 1
sleep 0.5
xdotool mousemove 15 45 click 1
sleep 1.5
xdotool type --delay 5 "$work/soak.log"
xdotool key Return
sleep 0.5
# Typed keys go to the display.
xdotool mousemove 400 200 click 1

for _ in $(seq 600); do [ -s "$work/soak.log" ] && break; sleep 0.1; done
[ -s "$work/soak.log" ] || { echo "FAIL: logging did not start"; exit 1; }
start=$(date +%s.%N)
cpu0=$(cpu)
peak=0
after10=0
while :; do
  r=$(rss)
  [ "$r" -gt "$peak" ] && peak=$r
  size=$(stat -c %s "$work/soak.log")
  [ "$after10" -eq 0 ] && [ "$size" -gt $((10 * 1048576)) ] && after10=$r
  if [ -s "$work/far.json" ]; then
    got=$(($(wc -l <"$work/soak.log") - 1))
    want=$(wc -l <"$work/expected")
    [ "$got" -ge "$want" ] && break
  fi
  if ! kill -0 "$pid" 2>/dev/null; then echo "FAIL: the program ended"; exit 1; fi
  sleep 0.5
done
end=$(date +%s.%N)
cpu1=$(cpu)

tail -n +2 "$work/soak.log" | cut -f2- | tr -d '\r' >"$work/got"
exact=no
cmp -s "$work/got" "$work/expected" && exact=yes
python3 - "$work/far.json" "$start" "$end" "$cpu0" "$cpu1" "$ticks" "$peak" "$after10" "$exact" <<'PY'
import json, sys
far = json.load(open(sys.argv[1]))
start, end, cpu0, cpu1, ticks = map(float, sys.argv[2:7])
peak, after10, exact = int(sys.argv[7]), int(sys.argv[8]), sys.argv[9]
mb = far["bytes"] / 1048576
print(f"input {mb:.0f} MB; drained {mb / (end - start):.1f} MB/s; "
      f"{(cpu1 - cpu0) / ticks / mb:.4f} CPU s/MB in the program")
print(f"resident memory: peak {peak / 1024:.1f} MB, after the first 10 MB {after10 / 1024:.1f} MB, "
      f"growth {(peak - after10) / 1024:.1f} MB")
print(f"key typed mid-flood reached the far end after {far['key_latency_ms']} ms")
print(f"log exact: {exact}")
ok = exact == "yes" and (peak - after10) < 10 * 1024 and far["key_latency_ms"] is not None
print("PASS" if ok else "FAIL")
sys.exit(0 if ok else 1)
PY
