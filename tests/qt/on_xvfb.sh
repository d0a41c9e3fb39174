#!/bin/sh
# Runs a Qt test program on a screen of its own: a fresh Xvfb of the given
# depth (bits a pixel). Where the machine has no Xvfb it says so in one line
# and exits 77, which the test command counts as skipped.
# Usage: on_xvfb.sh DEPTH PROGRAM [ARGUMENTS...]
depth=$1
shift
if ! command -v xvfb-run >/dev/null 2>&1; then
  echo "skipped: no xvfb-run here (scripts/deps.sh test installs it)"
  exit 77
fi
# LeakSanitizer, where it runs, leaves out what libdbus keeps without a bus.
LSAN_OPTIONS="suppressions=$(dirname "$0")/x11-leaks.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}"
export LSAN_OPTIONS
# Each depth starts its search for a free display elsewhere, so two runs side
# by side do not race for one.
exec xvfb-run -a -n "3$depth" -s "-screen 0 1024x768x$depth" \
  env QT_QPA_PLATFORM=xcb "$@"
