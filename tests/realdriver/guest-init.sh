#!/bin/busybox sh
# PID 1 of the bench's guest: mounts what the serial layer reads, loads the USB serial drivers in
# dependency order, waits for the adapter, runs the tests and tells the host their exit status.
/bin/busybox --install -s /bin
mkdir -p /proc /sys /dev /tmp
mount -t proc proc /proc
mount -t sysfs sys /sys
mount -t devtmpfs dev /dev
mount -t tmpfs tmp /tmp
for m in $(cat /modules.txt); do insmod "/lib/modules/$m" || echo "insmod $m failed"; done
for i in $(seq 50); do [ -e /dev/ttyUSB0 ] && break; sleep 0.2; done
/realdriver_tests --gtest_color=no $(cat /args.txt)
echo "KT-RESULT $?"
poweroff -f
