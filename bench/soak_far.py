#!/usr/bin/env python3
"""The far end of the soak: a pseudo-terminal whose slave the terminal opens
as COM1. Once the terminal's log file has started, writes MEGABYTES of 40- to
80-character lines with control bytes mixed in, as fast as the pty takes them;
half-way it has a key typed into the terminal's window and times its arrival.
Writes what the log must hold (the text of each line after its time stamp) to
EXPECTED and a one-line JSON report to stdout.

Usage: soak_far.py LINK LOGFILE MEGABYTES EXPECTED
With LOGFILE "-" it starts as soon as the terminal has opened the port.
"""
import json, os, pty, random, select, subprocess, sys, time, tty

link, logfile, megabytes, expected_path = sys.argv[1], sys.argv[2], int(sys.argv[3]), sys.argv[4]
master, slave = pty.openpty()
tty.setraw(master)
name = os.ttyname(slave)
os.close(slave)
if os.path.lexists(link):
    os.unlink(link)
os.symlink(name, link)
os.set_blocking(master, False)


def log_text(line: bytes) -> bytes:
    """The log's text for one received line: printable bytes kept, CR and BS
    dropped, every other code as a token of its hex value."""
    out = bytearray()
    for c in line:
        if 32 <= c <= 126:
            out.append(c)
        elif c in (8, 13):
            continue
        else:
            out += b" <0x%X>" % c
    return bytes(out)


rng = random.Random(5)
pool = []
for _ in range(4096):
    n = rng.randint(40, 80)
    chars = bytearray()
    for _ in range(n):
        r = rng.randint(0, 99)
        chars.append(0x1B if r == 0 else 0x09 if r == 1 else 0x07 if r == 2 else 32 + r % 95)
    pool.append(bytes(chars) + b"\r\n")
logged = [log_text(line[:-1]) + b"\n" for line in pool]

def slave_open() -> bool:
    """While nobody has the slave open, reading the master fails with EIO."""
    try:
        os.read(master, 65536)
        return True
    except BlockingIOError:
        return True
    except OSError:
        return False


# Wait for the terminal to open the port (and start its log).
deadline = time.time() + 120
while not (slave_open() if logfile == "-" else
           os.path.exists(logfile) and os.path.getsize(logfile) > 0):
    if time.time() > deadline:
        sys.exit("the terminal never opened the port or started its log")
    time.sleep(0.1)

total = megabytes << 20
sent = 0
key_at = None
key_latency = None
pending = b""
start = time.time()
with open(expected_path, "wb") as expected:
    while sent < total or pending:
        if not pending:
            picks = [rng.randrange(len(pool)) for _ in range(1024)]
            pending = b"".join(pool[i] for i in picks)
            chunk_size = len(pending)
            expected.write(b"".join(logged[i] for i in picks))
        r, w, _ = select.select([master], [master], [], 1.0)
        if w:
            try:
                n = os.write(master, pending)
                pending = pending[n:]
                if not pending:
                    sent += chunk_size
            except BlockingIOError:
                pass
        if r:
            try:
                got = os.read(master, 65536)
                if key_at is not None and key_latency is None and b"k" in got:
                    key_latency = time.time() - key_at
            except OSError:
                pass
        if key_at is None and sent >= total // 2:
            key_at = time.time()
            subprocess.Popen(["xdotool", "type", "k"])
    written_s = time.time() - start
    # The key may still be on its way.
    while key_latency is None and key_at is not None and time.time() - key_at < 5:
        r, _, _ = select.select([master], [], [], 0.05)
        if r and b"k" in os.read(master, 65536):
            key_latency = time.time() - key_at
print(json.dumps({"bytes": sent, "write_seconds": written_s,
                  "key_latency_ms": None if key_latency is None else round(key_latency * 1000, 1)}))
sys.stdout.flush()
time.sleep(3600)  # keep the pty until the script is done with it
