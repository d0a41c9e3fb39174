#!/usr/bin/env bash
# CPU share of the terminal while it shows a steady stream of log lines, next
# to CuteCom's in the same run. Each program runs alone under Xvfb with its
# port on a pseudo-terminal; the far end writes text lines paced at the byte
# rate of 115200 and of 921600 baud (8N1: ten bits a byte) and the program's
# user and system time over the stream is taken from /proc. Prints one line
# per program and rate, and Kestrel's share as a fraction of CuteCom's.
# Usage: bench/cpu_share.sh [build-dir] [seconds] [display]
#        (default: build 20 :$((60 + RANDOM % 9)))
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
seconds=${2:-20}
display=${3:-:$((60 + RANDOM % 9))}
scripts/deps.sh screens
command -v cutecom >/dev/null || { echo "cutecom is needed for the comparison (apt-get install cutecom)" >&2; exit 1; }
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; rm -rf "$work"' EXIT
cp "$build/qt/kestrel-terminal" "$work/"
printf '[SerialPort]\r\nPort=1\r\nSettings=115200,N,8,1\r\n[Devices]\r\nCOM1=%s\r\n' "$work/dev" \
  >"$work/Serial.ini"
Xvfb "$display" -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
sleep 1
export DISPLAY=$display QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work
unset QT_QPA_PLATFORMTHEME
ticks=$(getconf CLK_TCK)

# CuteCom keeps its sessions under the home folder; this one opens the pty.
mkdir -p "$work/home/.config/CuteCom"
printf '[sessions]\n1\\BaudRate=115200\n1\\DataBits=8\n1\\Device=%s\n1\\FlowControl=0\n1\\OpenMode=3\n1\\Parity=0\n1\\StopBits=1\n1\\autoReconnect=false\n1\\name=Default\n1\\showCtrlCharacters=false\n1\\showTimestamp=false\nsize=1\n' \
  "$work/dev" >"$work/home/.config/CuteCom/CuteCom5.conf"

# The far end: a raw pty at $work/dev. It waits until the program has the
# port open, writes lines for the given time at the given byte rate in
# 10 ms slices, drains whatever the program sends, and says how much it wrote.
cat >"$work/far.py" <<'PY'
import os, pty, select, sys, time, tty
path, rate, seconds = sys.argv[1], int(sys.argv[2]), float(sys.argv[3])
m, s = pty.openpty()
tty.setraw(s)
name = os.ttyname(s)
os.symlink(name, path)
os.set_blocking(m, False)
pid_file = os.path.join(os.path.dirname(path), "pid")
def holds():
    try:
        pid = int(open(pid_file).read())
        return any(os.path.realpath(os.path.join(f"/proc/{pid}/fd", fd)) == name
                   for fd in os.listdir(f"/proc/{pid}/fd"))
    except (OSError, ValueError):
        return False
deadline = time.time() + 30
while not holds() and time.time() < deadline:
    time.sleep(0.1)
if not holds():
    print("port never opened", flush=True); sys.exit(1)
print("open", flush=True)
time.sleep(1)
seq = 0
pending = b""
sent = 0
start = time.monotonic()
while time.monotonic() - start < seconds:
    due = int((time.monotonic() - start) * rate) - sent
    while len(pending) < due:
        seq += 1
        pending += (b"2026-12-07 05:%02d:%02d.%03d INFO sensor[%d]: temp=21.%dC hum=4%d%% seq=%d\r\n"
                    % (seq // 6000 % 60, seq // 100 % 60, seq % 1000, seq % 8, seq % 10, seq % 10, seq))
    if due > 0:
        try:
            n = os.write(m, pending[:due])
            pending = pending[n:]
            sent += n
        except BlockingIOError:
            pass
    try:
        while select.select([m], [], [], 0)[0] and os.read(m, 4096):
            pass
    except OSError:
        pass
    time.sleep(0.01)
print(f"sent {sent} {time.monotonic() - start:.3f}", flush=True)
PY

# Qt takes no synthetic key events: the window gets the focus, then the key.
press() {
  xdotool windowfocus --sync "$1" 2>/dev/null || true
  sleep 0.3
  xdotool key "$2"
}
cpu() { awk '{print $14 + $15}' "/proc/$1/stat"; }

# run NAME RATE: starts the program, opens its port, streams, prints the share.
run() {
  local name=$1 rate=$2 pid far
  rm -f "$work/dev" "$work/far.out" "$work/pid"
  python3 "$work/far.py" "$work/dev" "$((rate / 10))" "$seconds" >"$work/far.out" &
  far=$!
  for _ in $(seq 50); do [ -e "$work/dev" ] && break; sleep 0.1; done
  case $name in
  kestrel)
    "$work/kestrel-terminal" >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 50); do xdotool search --onlyvisible --name '^Kestrel Terminal$' >/dev/null 2>&1 && break; sleep 0.2; done
    sleep 1
    # The port button has the focus at start.
    press "$(xdotool search --onlyvisible --name '^Kestrel Terminal$' | head -1)" space
    ;;
  cutecom)
    HOME=$work/home cutecom >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 50); do xdotool search --onlyvisible --name 'CuteCom' >/dev/null 2>&1 && break; sleep 0.2; done
    sleep 1
    ;;
  esac
  echo "$pid" >"$work/pid"
  if [ "$name" = cutecom ]; then
    press "$(xdotool search --onlyvisible --name 'CuteCom' | head -1)" alt+o
    # It reports in a box that a pty has no modem lines, and closes the port
    # once the box is dismissed: the box stays up (over a corner of its
    # display) while the port streams.
  fi
  for _ in $(seq 300); do grep -q 'open\|never' "$work/far.out" && break; sleep 0.1; done
  sleep 1
  local c0 t0 c1 t1
  c0=$(cpu "$pid")
  t0=$(date +%s.%N)
  wait "$far" || { echo "$name: $(cat "$work/far.out")"; kill "$pid"; return 1; }
  c1=$(cpu "$pid")
  t1=$(date +%s.%N)
  kill "$pid" 2>/dev/null || true
  wait "$pid" 2>/dev/null || true
  python3 -c "import sys; c0,c1,t0,t1,tk=map(float,sys.argv[1:6]); print(f'{(c1-c0)/tk/(t1-t0)*100:.2f}')" \
    "$c0" "$c1" "$t0" "$t1" "$ticks" >"$work/$name.$rate"
  echo "$name at $rate baud: $(cat "$work/$name.$rate")% of a core ($(tail -1 "$work/far.out"))"
}

for rate in 115200 921600; do
  run kestrel "$rate"
  run cutecom "$rate"
  python3 -c "import sys; k,c=map(float,sys.argv[1:3]); print(f'at {sys.argv[3]} baud Kestrel uses {k/c:.2f}x CuteCom\'s CPU')" \
    "$(cat "$work/kestrel.$rate")" "$(cat "$work/cutecom.$rate")" "$rate"
done
