#!/usr/bin/env python3
"""Time of one whole page against the protocol's floor.

Sends pages with zentrel-send through zentrel-modemsim paced as a 300 bit/s
line, and compares each run's wall time with the floor for that page: the
4000 ms first wake-up plus the line time of every byte sent and received (10
bits a character), counted from the emulator's log. Also reports the peak
resident memory of the children (zentrel-send and the emulator).

Usage: page_time.py BUILD_DIR [RUNS]
"""
import json
import os
import resource
import statistics
import subprocess
import sys
import tempfile
import time

BPS = 300
WAKE_MS = 4000
SILENCE_MS = 250


def one_page(build, work, run):
    link = os.path.join(work, f"modem{run}")
    log = os.path.join(work, f"sim{run}.log")
    sim = subprocess.Popen(
        [f"{build}/tools/zentrel-modemsim", "--link", link, "--once", "--connect-delay-ms", "0",
         "--bits-per-second", str(BPS), "--log", log],
        stdout=subprocess.PIPE, text=True)
    if not sim.stdout.readline().startswith("ready "):
        raise SystemExit("the emulator did not start")
    with open(os.path.join(work, "lines.conf"), "w") as conf:
        conf.write(f"modem {link} ATZ\n")
    env = dict(os.environ, ZENTREL_LINES=os.path.join(work, "lines.conf"))
    start = time.monotonic()
    sent = subprocess.run(
        [f"{build}/tools/zentrel-send", "--db", os.path.join(work, "vp.mdb"), "--pin", "1001",
         "--message", "Pump 3 pressure low. Please call the plant."],
        env=env, capture_output=True, text=True)
    elapsed_ms = (time.monotonic() - start) * 1000
    sim.wait(timeout=60)
    if sent.returncode != 0:
        raise SystemExit(f"page not sent: {sent.stderr}")
    line_bytes = 0
    with open(log) as f:
        for line in f:
            e = json.loads(line)
            if e["event"] in ("rx", "tx"):
                line_bytes += len(e["hex"]) // 2
    floor_ms = WAKE_MS + line_bytes * 10 * 1000 / BPS
    return elapsed_ms, floor_ms, line_bytes


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([f"{build}/tools/zentrel-db", "demo", os.path.join(work, "vp.mdb")],
                       check=True, capture_output=True)
        results = [one_page(build, work, r) for r in range(runs)]
    peak_kb = resource.getrusage(resource.RUSAGE_CHILDREN).ru_maxrss
    elapsed = statistics.median(r[0] for r in results)
    floor = statistics.median(r[1] for r in results)
    print(f"pages: {runs}, line bytes per page: {results[0][2]}")
    print(f"whole page (median): {elapsed:.0f} ms")
    print(f"floor (4000 ms wake-up + line time): {floor:.0f} ms")
    print(f"over the floor: {elapsed - floor:.0f} ms ({(elapsed / floor - 1) * 100:.1f}%)")
    print(f"peak resident memory of any child (zentrel-send or the emulator): {peak_kb / 1024:.1f} MB")


if __name__ == "__main__":
    main()
