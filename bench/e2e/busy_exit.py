#!/usr/bin/env python3
"""Time from a modem's BUSY to zentrel-send's exit (target: under 2 s).

The emulator answers the dial with BUSY and logs when it wrote it, counted
from its start; zentrel-send's own start and exit are timed here. The
sender's first byte (the emulator's first rx) stands for the sender's start
on the emulator's clock, so the figure includes the sender's own start-up
before its first byte: an upper bound.

Usage: busy_exit.py BUILD_DIR [RUNS]
"""
import os
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import benchlib  # noqa: E402


def one_run(scratch, run):
    link = scratch.path(f"modem{run}")
    sim, _, log = scratch.emulator(f"sim{run}.log", "--link", link, "--scenario", "busy", "--once")
    scratch.lines(f"modem {link}")
    sent = scratch.send("--pin", "1001", "--message", "busy test")
    benchlib.stop([sim], timeout=10)
    if sent.status != 1:
        raise SystemExit(f"expected exit 1 for a busy line, got {sent.status}")
    first_rx = next(e["ms"] for e in benchlib.events(log, "rx"))
    busy_tx = next(e["ms"] for e in benchlib.events(log, "tx") if "BUSY" in e.get("text", ""))
    return sent.wall_ms - (busy_tx - first_rx)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    with tempfile.TemporaryDirectory() as work:
        scratch = benchlib.Scratch(build, work)
        scratch.demo_db()
        times = [one_run(scratch, r) for r in range(runs)]
    print(f"runs: {runs}")
    print(f"BUSY to zentrel-send's exit (upper bound): median {statistics.median(times):.0f} ms, "
          f"max {max(times):.0f} ms (target under 2000 ms)")


if __name__ == "__main__":
    main()
