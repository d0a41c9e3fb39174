#!/usr/bin/env python3
"""The host side of the real-driver bench: boots Debian's kernel in QEMU with the serial layer's
tests as its init's one job, and plays the boards at the far end of the guest's ports.

Guest ports and what stands behind them:
  ttyS0   console: the tests' output, read here; the last line carries their exit status
  ttyS1   a pseudo-terminal held here; its modem input lines come from the preloaded shim, whose
          file this script writes; what arrives is echoed back
  ttyS2   the control channel: the tests ask for steps, one line each, and wait for "ok"
  ttyS3   a telnet socket, so that a break can be sent (IAC BRK)
  ttyUSB0 an emulated FTDI adapter whose Unix socket is held here; QEMU attaches the adapter
          while the socket is connected, so closing it is an unplug; what arrives is echoed back

A request is "unplug", "plug", or a target (uart, ftdi, brk) and steps: d<hex> sends bytes,
m<n> sets the modem input levels (TIOCM_* bits), p<n> flips lines for one reading of the
UART, s<ms> waits, B sends a break, h stops taking what the UART sends (a stalled line), r takes
it again and throws away what came meanwhile.

Exit status: that of the tests, 77 (skipped) where the machine cannot run the bench.
Usage: run.py TESTS SHIM WORKDIR [gtest arguments...]
"""
import glob, os, pty, queue, select, shutil, socket, struct, subprocess, sys, threading, time, tty

SKIP = 77
TIME_LIMIT = 170
MODULES = ["ftdi_sio", "xhci-pci"]
BUSYBOX = "/bin/busybox"  # busybox-static's; the guest has no shared libraries
KERNEL_PLACES = ["", "/var/cache/kestrel/kernel"]  # the system's own, then deps.sh's extraction


def skip(why):
    print(f"real-driver bench skipped: {why}")
    sys.exit(SKIP)


def find_kernel():
    for root in KERNEL_PLACES:
        for image in sorted(glob.glob(f"{root}/boot/vmlinuz-*-amd64"), reverse=True):
            modules = f"{root}/lib/modules/{image.split('vmlinuz-', 1)[1]}"
            if os.path.exists(f"{modules}/modules.dep") and os.access(image, os.R_OK):
                return image, modules
    return None, None


def module_order(modules_dir):
    """The .ko files of MODULES and what they need, each after what it needs."""
    deps = {}
    with open(f"{modules_dir}/modules.dep") as f:
        for line in f:
            name, _, needs = line.partition(":")
            deps[os.path.basename(name).split(".ko")[0].replace("_", "-")] = (name, needs.split())
    order = []

    def add(path):
        for need in reversed(deps[os.path.basename(path).split(".ko")[0].replace("_", "-")][1]):
            add(need)
        if path not in order:
            order.append(path)

    for m in MODULES:
        add(deps[m.replace("_", "-")][0])
    return order


def make_initramfs(work, tests, modules_dir, gtest_args):
    root = f"{work}/root"
    shutil.rmtree(root, ignore_errors=True)
    os.makedirs(f"{root}/bin")
    os.makedirs(f"{root}/lib/modules")
    shutil.copy(BUSYBOX, f"{root}/bin/busybox")
    shutil.copy(tests, f"{root}/realdriver_tests")
    shutil.copy(os.path.join(os.path.dirname(__file__), "guest-init.sh"), f"{root}/init")
    names = []
    for path in module_order(modules_dir):
        shutil.copy(f"{modules_dir}/{path}", f"{root}/lib/modules/")
        names.append(os.path.basename(path))
    with open(f"{root}/modules.txt", "w") as f:
        f.write("\n".join(names) + "\n")
    with open(f"{root}/args.txt", "w") as f:
        f.write(" ".join(gtest_args) + "\n")
    files = subprocess.run(["find", "."], cwd=root, capture_output=True, text=True).stdout
    image = f"{work}/initramfs.cpio"
    with open(image, "wb") as out:
        subprocess.run([f"{root}/bin/busybox", "cpio", "-o", "-H", "newc"], cwd=root, input=files.encode(),
                       stdout=out, stderr=subprocess.DEVNULL, check=True)
    return image


def connect(path, within=20):
    until = time.time() + within
    while True:
        try:
            s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
            s.connect(path)
            return s
        except OSError:
            s.close()
            if time.time() > until:
                raise
            time.sleep(0.05)


class Far:
    """The far ends of the guest's ports."""

    def __init__(self, work):
        self.work = work
        self.master, slave = pty.openpty()
        tty.setraw(self.master)
        self.slave_path = os.ttyname(slave)
        os.close(slave)
        self.lines_path = f"{work}/modem-lines"
        with open(self.lines_path, "wb") as f:
            f.write(struct.pack("II", 0, 0))
        self.lines = os.open(self.lines_path, os.O_RDWR)
        self.ftdi = None
        self.ftdi_lock = threading.Lock()
        self.uart_held = threading.Event()

    def start(self):
        self.ctl = connect(f"{self.work}/ctl.sock")
        self.brk = connect(f"{self.work}/brk.sock")
        self.plug()
        for job in (self.serve, self.echo_uart, self.echo_ftdi, self.drain_brk):
            threading.Thread(target=job, daemon=True).start()

    def plug(self):
        with self.ftdi_lock:
            if not self.ftdi:
                self.ftdi = connect(f"{self.work}/ftdi.sock")

    def unplug(self):
        with self.ftdi_lock:
            if self.ftdi:
                self.ftdi.shutdown(socket.SHUT_RDWR)
                self.ftdi.close()
                self.ftdi = None

    # Echoes read and write on threads of their own: QEMU waits to hand over what the guest sends
    # until it is taken, so a writer waiting for QEMU to take the echo must not hold up the reader.
    def echo_uart(self):
        def read(fd):
            if self.uart_held.is_set() or not select.select([fd], [], [], 0.05)[0]:
                return b""
            return os.read(fd, 65536)

        self.echo(lambda: self.master, read, os.write)

    def release_uart(self):
        while select.select([self.master], [], [], 0.3)[0]:
            os.read(self.master, 65536)
        self.uart_held.clear()

    def echo_ftdi(self):
        self.echo(lambda: self.ftdi, lambda s: s.recv(65536), lambda s, data: s.sendall(data))

    def echo(self, current, read, write):
        backlog = queue.Queue()

        def send():
            while True:
                data = backlog.get()
                try:
                    write(current(), data)
                except (OSError, AttributeError):
                    pass  # unplugged: the data goes with the board

        threading.Thread(target=send, daemon=True).start()
        while True:
            try:
                data = read(current())
            except (OSError, AttributeError):  # not opened by QEMU yet, or unplugged
                data = b""
            if data:
                backlog.put(data)
            else:
                time.sleep(0.05)

    def drain_brk(self):  # QEMU's telnet offers; nothing else comes from that port
        while self.brk.recv(4096):
            pass

    def step(self, target, step):
        kind, value = step[0], step[1:]
        if kind == "s":
            time.sleep(int(value) / 1000)
        elif kind == "h":
            self.uart_held.set()
        elif kind == "r":
            self.release_uart()
        elif kind == "m":
            os.pwrite(self.lines, struct.pack("I", int(value)), 0)
        elif kind == "p":
            os.pwrite(self.lines, struct.pack("I", int(value)), 4)
            until = time.time() + 10
            while struct.unpack("I", os.pread(self.lines, 4, 4))[0] and time.time() < until:
                time.sleep(0.002)
        elif kind in "dB":
            data = bytes.fromhex(value) if kind == "d" else b"\xff\xf3"
            if target == "uart":
                os.write(self.master, data)
            elif target == "brk":
                self.brk.sendall(data)
            elif self.ftdi:
                self.ftdi.sendall(data)

    def serve(self):
        pending = b""
        while True:
            got = self.ctl.recv(4096)
            if not got:
                return
            pending += got
            while b"\n" in pending:
                line, pending = pending.split(b"\n", 1)
                words = line.decode().split()
                if words == ["unplug"]:
                    self.unplug()
                elif words == ["plug"]:
                    self.plug()
                elif words:
                    for step in words[1:]:
                        self.step(words[0], step)
                self.ctl.sendall(b"ok\n")


def main():
    if len(sys.argv) < 4:
        sys.exit(__doc__)
    tests, shim, work = (os.path.abspath(a) for a in sys.argv[1:4])
    qemu = shutil.which("qemu-system-x86_64")
    kernel, modules_dir = find_kernel()
    if not qemu:
        skip("no qemu-system-x86_64 (Debian package qemu-system-x86)")
    if not kernel:
        skip("no Debian kernel image with its modules (scripts/deps.sh test fetches one)")
    if not os.path.exists("/dev/ptmx"):
        skip("no /dev/ptmx for the UART's far end")
    if not os.path.exists(BUSYBOX):
        skip("no busybox (Debian package busybox-static)")
    os.makedirs(work, exist_ok=True)
    for old in glob.glob(f"{work}/*.sock"):
        os.unlink(old)
    initramfs = make_initramfs(work, tests, modules_dir, sys.argv[4:])

    started = time.time()
    far = Far(work)
    sock = lambda name, extra="": f"socket,id={name},path={work}/{name}.sock,server=on,wait=off{extra}"
    cmd = ["nice", qemu, "-M", "pc", "-m", "256", "-nodefaults", "-display", "none", "-no-reboot",
           "-kernel", kernel, "-initrd", initramfs,
           "-append", "console=ttyS0 quiet 8250.nr_uarts=5 panic=-1 kestrel.realdriver",
           "-serial", "stdio",
           "-chardev", f"serial,id=uart,path={far.slave_path}", "-serial", "chardev:uart",
           "-chardev", sock("ctl"), "-serial", "chardev:ctl",
           "-chardev", sock("brk", ",telnet=on"), "-serial", "chardev:brk",
           "-device", "qemu-xhci", "-chardev", sock("ftdi"), "-device", "usb-serial,chardev=ftdi"]
    env = dict(os.environ, LD_PRELOAD=shim, KT_MODEM_TTY=far.slave_path, KT_MODEM_LINES=far.lines_path)
    vm = subprocess.Popen(cmd, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, env=env)
    killer = threading.Timer(TIME_LIMIT, vm.kill)
    killer.start()
    result = None
    try:
        far.start()
        for raw in vm.stdout:
            line = raw.decode(errors="replace").rstrip("\r\n")
            if line.startswith("KT-RESULT "):
                result = int(line.split()[1])
            else:
                print(line, flush=True)
    finally:
        killer.cancel()
        vm.kill()
        vm.wait()
    print(f"real-driver bench: {time.time() - started:.0f} s from boot to power-off")
    if result is None:
        print(f"real-driver bench: the guest gave no result within {TIME_LIMIT} s")
        return 1
    return result


if __name__ == "__main__":
    sys.exit(main())
