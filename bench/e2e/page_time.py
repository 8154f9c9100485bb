#!/usr/bin/env python3
"""Time of one whole page against the protocol's floor.

Sends pages with zentrel-send through zentrel-modemsim paced as a 300 bit/s
line, and compares each run's wall time with the floor for that page: the
4000 ms first wake-up plus the line time of every byte sent and received (10
bits a character), counted from the emulator's log. Also reports the peak
resident memory of the children (zentrel-send and the emulator).

Usage: page_time.py BUILD_DIR [RUNS]
"""
import os
import resource
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import benchlib  # noqa: E402

BPS = 300
WAKE_MS = 4000


def one_page(scratch, run):
    link = scratch.path(f"modem{run}")
    sim, _, log = scratch.emulator(f"sim{run}.log", "--link", link, "--once", "--connect-delay-ms", "0",
                                   "--bits-per-second", str(BPS))
    scratch.lines(f"modem {link} ATZ")
    sent = scratch.send("--pin", "1001", "--message", "Pump 3 pressure low. Please call the plant.")
    sim.wait(timeout=60)
    if sent.status != 0:
        raise SystemExit(f"page not sent: {sent.err}")
    count = benchlib.line_bytes(log)
    return sent.wall_ms, WAKE_MS + benchlib.line_ms(count, BPS), count


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    with tempfile.TemporaryDirectory() as work:
        scratch = benchlib.Scratch(build, work)
        scratch.demo_db()
        results = [one_page(scratch, r) for r in range(runs)]
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
