#!/usr/bin/env python3
"""Ten pages to ten PINs: one full-TAP call against ten calls of one page.

Runs zentrel-send through zentrel-modemsim paced as a 300 bit/s line, first
once with --full-tap and ten --pin, then ten times with one --pin each (the
form's transaction), and compares each with its floor: the line time of every
byte sent and received (10 bits a character, counted from the emulator's
log), plus, for each call of the form's transaction, its 4000 ms first
wake-up. Prints the times, the floors and the ratio ten calls / one call.

Usage: batch_time.py BUILD_DIR
"""
import json
import os
import subprocess
import sys
import tempfile
import time

BPS = 300
WAKE_MS = 4000
PINS = [f"{2000 + i}" for i in range(10)]
MESSAGE = "Pump 3 pressure low. Please call the plant."


def start_modem(build, work, log):
    link = os.path.join(work, "modem")
    sim = subprocess.Popen(
        [f"{build}/tools/zentrel-modemsim", "--link", link, "--connect-delay-ms", "0",
         "--bits-per-second", str(BPS), "--log", log],
        stdout=subprocess.PIPE, text=True)
    if not sim.stdout.readline().startswith("ready "):
        raise SystemExit("the emulator did not start")
    with open(os.path.join(work, "lines.conf"), "w") as conf:
        conf.write(f"modem {link} ATZ\n")
    return sim


def line_bytes(log):
    total = 0
    with open(log) as f:
        for line in f:
            e = json.loads(line)
            if e["event"] in ("rx", "tx"):
                total += len(e["hex"]) // 2
    return total


def send(build, work, args):
    env = dict(os.environ, ZENTREL_LINES=os.path.join(work, "lines.conf"),
               ZENTREL_PAGE_LOG=os.path.join(work, "pages.db"),
               ZENTREL_LOCK_DIR=os.path.join(work, "locks"))
    done = subprocess.run([f"{build}/tools/zentrel-send", "--db", os.path.join(work, "vp.mdb")] + args,
                          env=env, capture_output=True, text=True)
    if done.returncode != 0:
        raise SystemExit(f"not sent: {done.stdout}{done.stderr}")


def measure(build, work, name, runs):
    log = os.path.join(work, f"{name}.log")
    sim = start_modem(build, work, log)
    start = time.monotonic()
    for args in runs:
        send(build, work, args)
    elapsed = (time.monotonic() - start) * 1000
    sim.terminate()
    sim.wait(timeout=30)
    return elapsed, line_bytes(log)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    with tempfile.TemporaryDirectory() as work:
        csv = os.path.join(work, "r.csv")
        with open(csv, "w") as f:
            f.write("pin,fname,lname,pagephone\n")
            for pin in PINS:
                f.write(f"{pin},On,Call {pin},5551234\n")
        db = os.path.join(work, "vp.mdb")
        subprocess.run([f"{build}/tools/zentrel-db", "init", db], check=True, capture_output=True)
        subprocess.run([f"{build}/tools/zentrel-db", "import", "--db", db, csv], check=True,
                       capture_output=True)
        one_args = ["--full-tap", "--message", MESSAGE]
        for pin in PINS:
            one_args += ["--pin", pin]
        one_ms, one_bytes = measure(build, work, "one", [one_args])
        ten_ms, ten_bytes = measure(build, work, "ten",
                                    [["--pin", pin, "--message", MESSAGE] for pin in PINS])
    one_floor = one_bytes * 10 * 1000 / BPS
    ten_floor = len(PINS) * WAKE_MS + ten_bytes * 10 * 1000 / BPS
    print(f"one call, ten pages:  {one_ms / 1000:7.1f} s (floor {one_floor / 1000:6.1f} s, {one_bytes} bytes)")
    print(f"ten calls, one page:  {ten_ms / 1000:7.1f} s (floor {ten_floor / 1000:6.1f} s, {ten_bytes} bytes)")
    print(f"ratio ten calls / one call: {ten_ms / one_ms:.2f} (floors {ten_floor / one_floor:.2f})")


if __name__ == "__main__":
    main()
