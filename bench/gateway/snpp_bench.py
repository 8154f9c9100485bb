#!/usr/bin/env python3
"""The gateway's SNPP listener under load: 50 clients at once, 10 pages each.

Starts four emulated modems (zentrel-modemsim, paced at --bps) reaching one
paging terminal number and zentrel-gateway over them with its SNPP listener
on a free loopback port, using gateway_bench.py's helpers. Each client (a
thread with a connection of its own) sends its pages one transaction at a
time (PAGE, MESS, SEND), timing each SEND until its 250 (given once the page
is committed to the queue). Then waits until every page is final and checks
from the emulators' logs that each text reached a terminal exactly once.
Prints SEND-to-250 p50 and p99 and the delivery time.

Usage: snpp_bench.py [BUILD_DIR] [--clients N] [--pages N] [--lines N]
       [--bps N] [--json FILE]
"""
import argparse
import json
import os
import socket
import sys
import tempfile
import threading
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from gateway_bench import (Client, accepted, make_db, percentile, read_logs,  # noqa: E402
                           start_gateway, start_modems, stop, watch, write_lines)


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


class Snpp:
    def __init__(self, port):
        self.sock = socket.create_connection(("127.0.0.1", port), timeout=120)
        self.file = self.sock.makefile("rwb")
        self.expect("220")

    def expect(self, code, line=None):
        if line is not None:
            self.file.write(line.encode() + b"\r\n")
            self.file.flush()
        reply = self.file.readline().decode()
        if not reply.startswith(code):
            raise RuntimeError(f"{line!r}: {reply!r}")
        return reply


def client(port, pin, index, pages, latencies, ids, errors):
    try:
        snpp = Snpp(port)
        for page in range(pages):
            snpp.expect("250", f"PAGE {pin}")
            snpp.expect("250", f"MESS SNPP client {index} page {page + 1}")
            start = time.perf_counter()
            reply = snpp.expect("250", "SEND")
            latencies.append((time.perf_counter() - start) * 1000)
            ids += [int(i) for i in reply.split("queued as ")[1].rstrip(")\r\n").split()]
        snpp.expect("221", "QUIT")
    except Exception as e:  # reported with the figures, the run still ends
        errors.append(f"client {index}: {e}")


def run(args):
    build = os.path.abspath(args.build)
    with tempfile.TemporaryDirectory() as work:
        os.makedirs(os.path.join(work, "locks"))
        pins = [str(3000 + i) for i in range(args.clients)]
        db = make_db(build, work, pins)
        sims, links, logs = start_modems(build, work, args.lines, args.bps)
        port = free_port()
        lines = write_lines(os.path.join(work, "lines.conf"), links)
        daemon, sock = start_gateway(build, work, lines, db,
                                     ("--snpp", f"127.0.0.1:{port}", "--snpp-clients",
                                      str(args.clients)))
        try:
            latencies, ids, errors = [], [], []
            start = time.monotonic()
            threads = [threading.Thread(target=client, args=(port, pins[i], i, args.pages,
                                                             latencies, ids, errors))
                       for i in range(args.clients)]
            for t in threads:
                t.start()
            for t in threads:
                t.join()
            r = {"clients": args.clients, "pages_each": args.pages, "lines": args.lines,
                 "bps": args.bps, "errors": errors, "queued": len(ids)}
            r["all_sent_s"] = time.monotonic() - start
            finals = watch(Client(sock), ids)
            r["delivery_s"] = time.monotonic() - start
            r["send_ms_p50"] = percentile(latencies, 50)
            r["send_ms_p99"] = percentile(latencies, 99)
            r["accepted"] = accepted(finals)
            texts, _ = read_logs(logs)
            expected = {f"SNPP client {c} page {p + 1}"
                        for c in range(args.clients) for p in range(args.pages)}
            r["received_once"] = sum(1 for t in expected if texts.count(t) == 1)
            r["received_twice_or_more"] = sum(1 for t in expected if texts.count(t) > 1)
        finally:
            stop([daemon, *sims])
    return r


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--clients", type=int, default=50)
    parser.add_argument("--pages", type=int, default=10)
    parser.add_argument("--lines", type=int, default=4)
    parser.add_argument("--bps", type=int, default=2400)
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    r = run(args)
    total = r["clients"] * r["pages_each"]
    print(f"{r['clients']} SNPP clients x {r['pages_each']} pages over {r['lines']} lines "
          f"at {r['bps']} bit/s")
    for e in r["errors"]:
        print("error:", e)
    print(f"queued {r['queued']} of {total} in {r['all_sent_s']:.1f} s; "
          f"SEND to 250: p50 {r['send_ms_p50']:.2f} ms, p99 {r['send_ms_p99']:.2f} ms")
    print(f"delivered: {r['accepted']} accepted; {r['received_once']} received once, "
          f"{r['received_twice_or_more']} more than once; all final after {r['delivery_s']:.1f} s")
    if args.json:
        with open(args.json, "w") as f:
            json.dump(r, f, indent=2)
    ok = not r["errors"] and r["accepted"] == total and r["received_once"] == total
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
