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
import json
import os
import statistics
import subprocess
import sys
import tempfile
import time

WAKE_MS = 4000
SILENCE_MS = 250


def start_terminal(build, work, run, tls):
    log = os.path.join(work, f"sim{run}.log")
    argv = [f"{build}/tools/zentrel-modemsim", "--listen", "127.0.0.1:0", "--once", "--log", log]
    if tls:
        argv += ["--tls", os.path.join(work, "cert.pem"), os.path.join(work, "key.pem")]
    sim = subprocess.Popen(argv, stdout=subprocess.PIPE, text=True)
    ready = sim.stdout.readline()
    if not ready.startswith("ready "):
        raise SystemExit("the emulator did not start")
    port = ready.strip().rsplit(":", 1)[1]
    line = f"tls localhost:{port} ca={work}/cert.pem" if tls else f"tcp 127.0.0.1:{port}"
    with open(os.path.join(work, "lines.conf"), "w") as conf:
        conf.write(line + "\n")
    return sim, log


def send(build, work):
    """Runs zentrel-send; returns (exit status, wall ms, its own peak RSS in kB)."""
    env = dict(os.environ, ZENTREL_LINES=os.path.join(work, "lines.conf"))
    start = time.monotonic()
    child = subprocess.Popen(
        [f"{build}/tools/zentrel-send", "--db", os.path.join(work, "vp.mdb"), "--pin", "1001",
         "--message", "Pump 3 pressure low. Please call the plant."],
        env=env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    _, status, usage = os.wait4(child.pid, 0)
    return os.waitstatus_to_exitcode(status), (time.monotonic() - start) * 1000, usage.ru_maxrss


def floor_ms(log):
    answers = 0
    answer_ms = 0
    last_rx = None
    with open(log) as f:
        for line in f:
            e = json.loads(line)
            if e["event"] == "rx":
                last_rx = e["ms"]
            elif e["event"] == "tx" and last_rx is not None:
                answers += 1
                answer_ms += e["ms"] - last_rx
                last_rx = None
    return WAKE_MS + (answers - 1) * SILENCE_MS + answer_ms, answers


def one_page(build, work, run, tls):
    sim, log = start_terminal(build, work, run, tls)
    status, elapsed, peak_kb = send(build, work)
    sim.wait(timeout=60)
    if status != 0:
        raise SystemExit("page not sent")
    floor, answers = floor_ms(log)
    return elapsed, floor, answers, peak_kb


def main():
    build = os.path.abspath(sys.argv[1] if len(sys.argv) > 1 else "build")
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 5
    with tempfile.TemporaryDirectory() as work:
        subprocess.run([f"{build}/tools/zentrel-db", "demo", os.path.join(work, "vp.mdb")],
                       check=True, capture_output=True)
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1",
                        "-subj", "/CN=localhost", "-addext", "subjectAltName=DNS:localhost",
                        "-keyout", os.path.join(work, "key.pem"),
                        "-out", os.path.join(work, "cert.pem")], check=True, capture_output=True)
        tcp = [one_page(build, work, r, False) for r in range(runs)]
        tls = [one_page(build, work, runs + r, True) for r in range(runs)]
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
