#!/usr/bin/env python3
"""Full-TAP calls at line speed: each figure beside its floor, in one run.

Runs zentrel-send --full-tap against zentrel-modemsim and prints, for each
case, what was measured, the floor (the emulator's own delays and the line
time of every byte sent and received, 10 bits a character, counted from the
emulator's log) and the target:
  - one page over TCP on loopback, wall time from start to exit;
  - one page through the emulated modem on a pty, wall time;
  - ten pages in one call over TCP (connect to log-off, and the wall time
    beside ten calls of one page);
  - 1000 pages in one call over TCP paced as a fast line: peak resident
    memory of zentrel-send, connect to log-off against the line time;
  - a 64 KiB message sent with --split: CPU time and memory.

The floor of the long call is the time the emulator held the turn: the
line time and its answers (all but the sender's own turn-arounds, measured
from the emulator's log).

Usage: line_speed.py BUILD_DIR [--runs N] [--bps-1000 N] [--pages N]
"""
import argparse
import os
import statistics
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import benchlib  # noqa: E402
from benchlib import line_ms, row  # noqa: E402

MESSAGE = "Pump 3 pressure low. Please call the plant."
MODEM_CONNECT_MS = 500  # the emulator's default time from ATD to CONNECT


class Rig(benchlib.Scratch):
    """The scratch folder with ten on-call PINs; each send is a full-TAP call."""

    def __init__(self, build, work):
        super().__init__(build, work)
        self.pins_db([str(2000 + i) for i in range(10)])

    def emulator(self, name, *args):
        return super().emulator(f"{name}.log", *args)

    def send(self, line, args):
        """One zentrel-send run: (wall ms, peak RSS KB); self.cpu_ms its CPU time."""
        self.lines(line)
        sent = super().send("--full-tap", *args)
        if sent.status != 0:
            raise SystemExit(f"not sent: {sent.out[-400:]}{sent.err[-400:]}")
        self.cpu_ms = sent.cpu_ms
        return sent.wall_ms, sent.rss_kb


def calls(log, bps=0):
    """Per call in the emulator's log: connect to log-off (ms), line bytes,
    and zentrel-send's own share of that time: from the end of each answer
    on the line to the start of what the sender sent next. The emulator logs
    an answer when it queues it and what it received when the burst has
    crossed the line. A connection that carried nothing (a check that the
    gateway is there) is no call."""
    found, start, logoff, count, own, answer_end = [], None, None, 0, 0.0, None
    for e in benchlib.events(log):
        if e["event"] == "call":
            start, logoff, count, own, answer_end = e["ms"], None, 0, 0.0, None
        elif e["event"] in ("rx", "tx"):
            n = len(e["hex"]) // 2
            count += n
            if e["event"] == "tx":
                answer_end = max(answer_end or 0, e["ms"]) + line_ms(n, bps)
                continue
            if answer_end is not None:
                own += max(0.0, e["ms"] - line_ms(n, bps) - answer_end)
                answer_end = None
            if e["hex"].endswith("040d"):
                logoff = e["ms"]
        elif e["event"] == "hangup" and start is not None and count > 0:
            found.append(((logoff or e["ms"]) - start, count, own))
            start = None
    return found


def tcp(rig, name, bps=0):
    return rig.emulator(name, "--listen", "127.0.0.1:0", "--bits-per-second", str(bps))


def one_page(rig, runs):
    sim, where, log = tcp(rig, "tcp1")
    walls = [rig.send(f"tcp {where}", ["--pin", "2000", "--message", MESSAGE])[0] for _ in range(runs)]
    sim.terminate(), sim.wait()
    row("one page, TCP: start to exit", statistics.median(walls), 0, 350)

    sim, where, log = rig.emulator("modem", "--link", os.path.join(rig.work, "modem"))
    walls = [rig.send(f"modem {os.path.join(rig.work, 'modem')} ATZ",
                      ["--pin", "2000", "--message", MESSAGE])[0] for _ in range(runs)]
    sim.terminate(), sim.wait()
    row("one page, pty modem: start to exit", statistics.median(walls), MODEM_CONNECT_MS, 1000)


def ten_pages(rig):
    pins = [a for i in range(10) for a in ("--pin", str(2000 + i))]
    sim, where, log = tcp(rig, "tcp10")
    one_wall, _ = rig.send(f"tcp {where}", [*pins, "--message", MESSAGE])
    ten_wall = sum(rig.send(f"tcp {where}", ["--pin", str(2000 + i), "--message", MESSAGE])[0]
                   for i in range(10))
    sim.terminate(), sim.wait()
    took, count, _ = calls(log)[0]
    row("ten pages, one call: connect to log-off", took, 0, 100)
    print(f"{'ten pages: one call / ten calls (wall)':44} {one_wall:9.1f} ms / {ten_wall:.1f} ms"
          f" = {one_wall / ten_wall:.3f} target < 0.15 {'ok' if one_wall / ten_wall < 0.15 else 'OVER'}")


def many_pages(rig, pages, bps):
    path = os.path.join(rig.work, "pages.txt")
    with open(path, "w") as f:
        for i in range(pages):
            f.write(f"{2000 + i % 10}\t{MESSAGE} ({i})\n")
    sim, where, log = tcp(rig, "tcpmany", bps)
    wall, rss_kb = rig.send(f"tcp {where}", ["--pages", path, "--timeout", "3600"])
    sim.terminate(), sim.wait()
    took, count, own = calls(log, bps)[0]
    floor = took - own  # the line and the terminal's answers
    print(f"{pages} pages in one call, line at {bps} bit/s, {count} line bytes"
          f" ({line_ms(count, bps):.0f} ms of line time):")
    row("  connect to log-off", took, floor, 1.2 * floor)
    row("  start to exit", wall, floor, 1.2 * floor)
    row("  peak resident memory of zentrel-send", rss_kb / 1024, 0, 20, "MB")


def split_message(rig):
    text = ("Pump 3 pressure low, call the plant. " * 2000)[:65536]
    sim, where, log = tcp(rig, "split")
    wall, rss_kb = rig.send(f"tcp {where}", ["--pin", "2000", "--message", text, "--split"])
    sim.terminate(), sim.wait()
    _, count, _ = calls(log)[0]
    print(f"64 KiB message with --split ({count} line bytes), zentrel-send:")
    row("  CPU time, start to exit", rig.cpu_ms, 0, 1000)
    row("  peak resident memory", rss_kb / 1024, 0, 20, "MB")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--runs", type=int, default=5, help="single-page runs (median)")
    parser.add_argument("--pages", type=int, default=1000)
    parser.add_argument("--bps-1000", type=int, default=38400, help="line speed of the long call")
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as work:
        rig = Rig(os.path.abspath(args.build), work)
        one_page(rig, args.runs)
        ten_pages(rig)
        many_pages(rig, args.pages, args.bps_1000)
        split_message(rig)


if __name__ == "__main__":
    main()
