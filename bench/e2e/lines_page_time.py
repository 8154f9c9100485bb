#!/usr/bin/env python3
"""Time of one page over TCP on loopback against its floor, and the peak
memory of zentrel-send over TLS.

The floor of a page on a line with no modem: the 4000 ms first wake-up, plus
one 250 ms silence after each answer the sender must act on (the link
delivers a burst only once the line has been quiet that long; the last
answer, the goodbye, ends the call as the line drops), plus the time the
terminal takes to answer (counted from the emulator's log: from each burst
it received to its answer). Line time on loopback is nil.

Usage: lines_page_time.py BUILD_DIR [RUNS]
"""
import os
import statistics
import subprocess
import sys
import tempfile

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import benchlib  # noqa: E402

WAKE_MS = 4000
SILENCE_MS = 250


def floor_ms(log):
    answers = 0
    answer_ms = 0
    last_rx = None
    for e in benchlib.events(log, "rx", "tx"):
        if e["event"] == "rx":
            last_rx = e["ms"]
        elif last_rx is not None:
            answers += 1
            answer_ms += e["ms"] - last_rx
            last_rx = None
    return WAKE_MS + (answers - 1) * SILENCE_MS + answer_ms, answers


def one_page(scratch, run, tls):
    argv = ["--listen", "127.0.0.1:0", "--once"]
    if tls:
        argv += ["--tls", scratch.path("cert.pem"), scratch.path("key.pem")]
    sim, where, log = scratch.emulator(f"sim{run}.log", *argv)
    port = where.rsplit(":", 1)[1]
    scratch.lines(f"tls localhost:{port} ca={scratch.path('cert.pem')}" if tls else f"tcp 127.0.0.1:{port}")
    sent = scratch.send("--pin", "1001", "--message", "Pump 3 pressure low. Please call the plant.")
    sim.wait(timeout=60)
    if sent.status != 0:
        raise SystemExit("page not sent")
    floor, answers = floor_ms(log)
    return sent.wall_ms, floor, answers, sent.rss_kb


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    with tempfile.TemporaryDirectory() as work:
        scratch = benchlib.Scratch(build, work)
        scratch.demo_db()
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost",
                        "-keyout", scratch.path("key.pem"), "-out", scratch.path("cert.pem")],
                       check=True, capture_output=True)
        tcp = [one_page(scratch, r, False) for r in range(runs)]
        tls = [one_page(scratch, runs + r, True) for r in range(runs)]
    elapsed = statistics.median(r[0] for r in tcp)
    floor = statistics.median(r[1] for r in tcp)
    print(f"pages over TCP: {runs}, answers per page: {tcp[0][2]}")
    print(f"whole page over TCP (median): {elapsed:.0f} ms")
    print(f"floor (4000 ms wake-up + 250 ms per answer acted on + answer time): {floor:.0f} ms")
    print(f"ratio to the floor: {elapsed / floor:.3f}")
    print(f"whole page over TLS (median): {statistics.median(r[0] for r in tls):.0f} ms")
    print(f"peak resident memory of zentrel-send over TLS: {max(r[3] for r in tls) / 1024:.1f} MB")
    print(f"peak resident memory of zentrel-send over TCP: {max(r[3] for r in tcp) / 1024:.1f} MB")


if __name__ == "__main__":
    main()
