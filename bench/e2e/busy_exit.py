#!/usr/bin/env python3
"""Time from a modem's BUSY to zentrel-send's exit (target: under 2 s).

The emulator answers the dial with BUSY and logs when it wrote it, counted
from its start; zentrel-send's own start and exit are timed here. The
sender's first byte (the emulator's first rx) stands for the sender's start
on the emulator's clock, so the figure includes the sender's own start-up
before its first byte: an upper bound.

Usage: busy_exit.py BUILD_DIR [RUNS]
"""
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time


def one_run(build, work, run):
    link = os.path.join(work, f"modem{run}")
    log = os.path.join(work, f"sim{run}.log")
    sim = subprocess.Popen([f"{build}/tools/zentrel-modemsim", "--link", link, "--scenario",
                            "busy", "--once", "--log", log], stdout=subprocess.PIPE, text=True)
    if not sim.stdout.readline().startswith("ready "):
        raise SystemExit("the emulator did not start")
    conf = os.path.join(work, "lines.conf")
    with open(conf, "w") as f:
        f.write(f"modem {link}\n")
    env = dict(os.environ, ZENTREL_LINES=conf, ZENTREL_PAGE_LOG=os.path.join(work, "pages.db"))
    start = time.monotonic()
    status = subprocess.run([f"{build}/tools/zentrel-send", "--db", os.path.join(work, "vp.mdb"),
                             "--pin", "1001", "--message", "busy test"],
                            env=env, capture_output=True).returncode
    whole_ms = (time.monotonic() - start) * 1000
    sim.terminate()
    sim.wait(timeout=10)
    if status != 1:
        raise SystemExit(f"expected exit 1 for a busy line, got {status}")
    first_rx = busy_tx = None
    with open(log) as f:
        for line in f:
            e = json.loads(line)
            if e["event"] == "rx" and first_rx is None:
                first_rx = e["ms"]
            if e["event"] == "tx" and "BUSY" in e.get("text", ""):
                busy_tx = e["ms"]
    return whole_ms - (busy_tx - first_rx)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 10
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([f"{build}/tools/zentrel-db", "demo", os.path.join(work, "vp.mdb")],
                       check=True, capture_output=True)
        times = [one_run(build, work, r) for r in range(runs)]
    print(f"runs: {runs}")
    print(f"BUSY to zentrel-send's exit (upper bound): median {statistics.median(times):.0f} ms, "
          f"max {max(times):.0f} ms (target under 2000 ms)")


if __name__ == "__main__":
    main()
