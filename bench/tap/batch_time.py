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
import os
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import benchlib  # noqa: E402

BPS = 300
WAKE_MS = 4000
PINS = [f"{2000 + i}" for i in range(10)]
MESSAGE = "Pump 3 pressure low. Please call the plant."


def measure(scratch, name, runs):
    link = scratch.path("modem")
    sim, _, log = scratch.emulator(f"{name}.log", "--link", link, "--connect-delay-ms", "0",
                                   "--bits-per-second", str(BPS))
    scratch.lines(f"modem {link} ATZ")
    start = time.monotonic()
    for args in runs:
        sent = scratch.send(*args)
        if sent.status != 0:
            raise SystemExit(f"not sent: {sent.out}{sent.err}")
    elapsed = (time.monotonic() - start) * 1000
    benchlib.stop([sim], timeout=30)
    return elapsed, benchlib.line_bytes(log)


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    with tempfile.TemporaryDirectory() as work:
        scratch = benchlib.Scratch(build, work)
        scratch.pins_db(PINS)
        one_args = ["--full-tap", "--message", MESSAGE]
        for pin in PINS:
            one_args += ["--pin", pin]
        one_ms, one_bytes = measure(scratch, "one", [one_args])
        ten_ms, ten_bytes = measure(scratch, "ten", [["--pin", pin, "--message", MESSAGE] for pin in PINS])
    one_floor = benchlib.line_ms(one_bytes, BPS)
    ten_floor = len(PINS) * WAKE_MS + benchlib.line_ms(ten_bytes, BPS)
    print(f"one call, ten pages:  {one_ms / 1000:7.1f} s (floor {one_floor / 1000:6.1f} s, {one_bytes} bytes)")
    print(f"ten calls, one page:  {ten_ms / 1000:7.1f} s (floor {ten_floor / 1000:6.1f} s, {ten_bytes} bytes)")
    print(f"ratio ten calls / one call: {ten_ms / one_ms:.2f} (floors {ten_floor / one_floor:.2f})")


if __name__ == "__main__":
    main()
