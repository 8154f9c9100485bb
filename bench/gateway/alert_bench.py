#!/usr/bin/env python3
"""The gateway's alert webhook under load: 200 Alertmanager posts a second for 10 s.

Starts zentrel-gateway (gateway_bench.py's helpers) with its HTTP listener on
a free loopback port, a token and no line, so every page stays queued. Posts
Alertmanager's documented version 4 payload, each post a group of its own
(its alertname, fingerprint and groupKey numbered, so no post is a re-post),
to POST /alertmanager?pin=PIN over keep-alive connections, on a fixed
schedule (open loop: a post late because the ones before it were slow counts
its wait). Prints the latency to the 2xx, timed from each post's scheduled
moment, p50/p99/max; checks that every post got a 2xx with one page, and
through the local socket that each page is in the queue with its own text;
the daemon's resident memory before, at its peak, and after.

Usage: alert_bench.py [BUILD_DIR] [--rate N] [--seconds N] [--clients N]
       [--pins N] [--json FILE]
"""
import argparse
import copy
import http.client
import json
import os
import subprocess
import sys
import tempfile
import threading
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, HERE)
from gateway_bench import (Client, make_db, memory_kib, percentile, start_gateway,  # noqa: E402
                           stop)
from snpp_bench import free_port  # noqa: E402

PAYLOAD = os.path.join(HERE, "..", "..", "tests", "gateway", "payloads", "alertmanager_v4.json")


def group(template, index):
    """The documented payload as a group of its own, numbered `index`."""
    body = copy.deepcopy(template)
    name = f"BenchAlert{index}"
    body["alerts"][0]["labels"]["alertname"] = name
    body["alerts"][0]["fingerprint"] = f"{index:016x}"
    body["commonLabels"]["alertname"] = name
    body["groupLabels"]["alertname"] = name
    body["groupKey"] = f'{{}}/{{severity="critical"}}:{{alertname="{name}"}}'
    return json.dumps(body).encode()


class Load:
    """Posts on a schedule from several threads; collects what came back."""

    def __init__(self, port, token, bodies, pins, rate):
        self.port, self.bodies, self.pins, self.rate = port, bodies, pins, rate
        self.headers = {"Authorization": f"Bearer {token}", "Content-Type": "application/json"}
        self.lock = threading.Lock()
        self.next = 0
        self.latencies, self.ids, self.errors = [], {}, []

    def take(self):
        with self.lock:
            index, self.next = self.next, self.next + 1
        return index if index < len(self.bodies) else None

    def post(self, conn, index):
        path = f"/alertmanager?pin={self.pins[index % len(self.pins)]}"
        conn.request("POST", path, self.bodies[index], self.headers)
        reply = conn.getresponse()
        return reply.status, reply.read()

    def worker(self, start):
        conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
        while (index := self.take()) is not None:
            due = start + index / self.rate
            time.sleep(max(0.0, due - time.monotonic()))  # the schedule's pace, not a wait
            try:
                status, body = self.post(conn, index)
            except (OSError, http.client.HTTPException) as e:
                conn.close()
                conn = http.client.HTTPConnection("127.0.0.1", self.port, timeout=60)
                status, body = 0, str(e).encode()
            took = (time.monotonic() - due) * 1000
            with self.lock:
                if 200 <= status < 300:
                    self.latencies.append(took)
                    self.ids[index] = json.loads(body)["ids"]
                else:
                    self.errors.append(f"post {index}: {status} {body[:200]!r}")
        conn.close()

    def run(self, clients):
        start = time.monotonic() + 0.2
        threads = [threading.Thread(target=self.worker, args=(start,)) for _ in range(clients)]
        for t in threads:
            t.start()
        for t in threads:
            t.join()
        return time.monotonic() - start


def check_queue(sock, ids):
    """Posts whose one page is in the queue, queued, with the post's own text."""
    client, found = Client(sock), 0
    for index, page_ids in ids.items():
        if len(page_ids) != 1:
            continue
        client.send({"op": "show", "id": page_ids[0]})
        page = client.next().get("page", {})
        if page.get("state") == "queued" and f"BenchAlert{index} " in page.get("text", ""):
            found += 1
    return found


def run(args):
    build = os.path.abspath(args.build)
    with open(PAYLOAD) as f:
        template = json.load(f)
    posts = int(args.rate * args.seconds)
    bodies = [group(template, i) for i in range(posts)]
    with tempfile.TemporaryDirectory() as work:
        os.makedirs(os.path.join(work, "locks"))
        pins = [str(3000 + i) for i in range(args.pins)]
        db = make_db(build, work, pins)
        conf = os.path.join(work, "gateway.conf")
        token = subprocess.run([f"{build}/tools/zentrel-gateway", "token", "add", "bench",
                                "--config", conf], check=True, capture_output=True,
                               text=True).stdout.strip()
        port = free_port()
        daemon, sock = start_gateway(build, work, os.path.join(work, "no-lines.conf"), db,
                                     ("--config", conf, "--http", f"127.0.0.1:{port}",
                                      "--snpp", "off", "--http-threads", str(args.clients)))
        try:
            r = {"posts": posts, "rate": args.rate, "clients": args.clients}
            r["rss_kib_before"] = memory_kib(daemon.pid, "VmRSS")
            load = Load(port, token, bodies, pins, args.rate)
            r["run_s"] = load.run(args.clients)
            r["answered_2xx"] = len(load.latencies)
            r["errors"] = load.errors[:10]
            r["error_count"] = len(load.errors)
            r["ms_p50"] = percentile(load.latencies, 50) if load.latencies else None
            r["ms_p99"] = percentile(load.latencies, 99) if load.latencies else None
            r["ms_max"] = max(load.latencies) if load.latencies else None
            r["pages_in_queue"] = check_queue(sock, load.ids)
            r["rss_kib_after"] = memory_kib(daemon.pid, "VmRSS")
            r["rss_kib_peak"] = memory_kib(daemon.pid, "VmHWM")
        finally:
            stop([daemon])
    return r


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--rate", type=float, default=200)
    parser.add_argument("--seconds", type=float, default=10)
    parser.add_argument("--clients", type=int, default=16)
    parser.add_argument("--pins", type=int, default=50)
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    r = run(args)
    print(f"{r['posts']} Alertmanager posts at {r['rate']:.0f}/s from {r['clients']} "
          f"connections, over in {r['run_s']:.1f} s")
    for e in r["errors"]:
        print("error:", e)
    if r["answered_2xx"]:
        print(f"to the 2xx: p50 {r['ms_p50']:.1f} ms, p99 {r['ms_p99']:.1f} ms, "
              f"max {r['ms_max']:.1f} ms")
    print(f"answered 2xx: {r['answered_2xx']}; refused or failed: {r['error_count']}; "
          f"pages found in the queue: {r['pages_in_queue']}")
    print(f"daemon: RSS {r['rss_kib_before']} KiB before, {r['rss_kib_after']} KiB after, "
          f"{r['rss_kib_peak']} KiB peak")
    if args.json:
        with open(args.json, "w") as f:
            json.dump(r, f, indent=2)
    ok = r["answered_2xx"] == r["posts"] and r["pages_in_queue"] == r["posts"]
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
