#!/usr/bin/env python3
"""The gateway under load: 500 pages for 50 PINs on one terminal, 4 lines.

Starts four emulated modems (zentrel-modemsim, paced at --bps) that all reach
the same paging terminal number, and zentrel-gateway over them with a queue
of its own. Measures, in this order:
- the daemon's idle CPU over 10 s and its resident memory, before any page;
- submission latency: 500 one-page submit requests on one connection, each
  timed until the gateway answers with the id (it answers once the row is
  committed); p50 and p99;
- delivery: from the first submission until every page is final (a watch
  request), checked: every page accepted, each text received by a terminal
  exactly once (from the emulators' logs);
- the floor: the sum of the calls' line time (call to hang-up in the
  emulators' logs) divided over the lines;
- 500 single calls, estimated from --single N direct zentrel-send calls of
  one page each through one emulated modem (mean x 500, and over 4 lines);
- the daemon's peak resident memory, then its idle CPU again after the run.
Targets: every page delivered, gateway time / single calls (over the same 4
lines) <= 0.3, p99 submission < 20 ms, idle CPU < 10 ms per 10 s.

Usage: gateway_bench.py [BUILD_DIR] [--bps N] [--pages N] [--pins N]
       [--lines N] [--single N] [--json FILE]
"""
import argparse
import json
import os
import socket
import statistics
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
import benchlib  # noqa: E402

NUMBER = "5551234"
TICKS = os.sysconf("SC_CLK_TCK")


def start_modem(build, work, index, bps):
    link = os.path.join(work, f"modem{index}")
    sim, _, log = benchlib.Scratch(build, work).emulator(f"modem{index}.log", "--link", link,
                                                         "--bits-per-second", str(bps))
    return sim, link, log


def start_modems(build, work, count, bps):
    """`count` emulated modems: their processes, link paths and logs."""
    sims, links, logs = [], [], []
    for i in range(count):
        sim, link, log = start_modem(build, work, i, bps)
        sims.append(sim)
        links.append(link)
        logs.append(log)
    return sims, links, logs


def write_lines(path, links):
    with open(path, "w") as conf:
        for link in links:
            conf.write(f"modem {link} ATZ\n")
    return path


stop = benchlib.stop


def make_db(build, work, pins):
    return benchlib.Scratch(build, work).pins_db(pins, NUMBER)


def cpu_ms(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    return (int(fields[11]) + int(fields[12])) * 1000 / TICKS  # utime + stime


def memory_kib(pid, key):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith(key + ":"):
                return int(line.split()[1])
    return 0


def idle_cpu(pid, seconds=10):
    before = cpu_ms(pid)
    time.sleep(seconds)  # the quantity measured is what the daemon does meanwhile
    return cpu_ms(pid) - before


class Client:
    def __init__(self, path):
        self.sock = socket.socket(socket.AF_UNIX)
        self.sock.connect(path)
        self.file = self.sock.makefile("rwb")

    def send(self, request):
        self.file.write((json.dumps(request) + "\n").encode())
        self.file.flush()

    def next(self):
        line = self.file.readline()
        if not line:
            raise SystemExit("the gateway closed the connection")
        return json.loads(line)


def start_gateway(build, work, lines, db, extra=("--snpp", "off"), queue=None):
    """zentrel-gateway with its files in `work` (its queue there unless
    `queue` names one), once it says it listens: the process and socket."""
    sock = os.path.join(work, "gateway.sock")
    env = dict(os.environ, ZENTREL_LOCK_DIR=os.path.join(work, "locks"),
               ZENTREL_PORT_LOCK_DIR=os.path.join(work, "locks"), XDG_CONFIG_HOME=os.path.join(work, "config"), XDG_RUNTIME_DIR=work)
    err = open(os.path.join(work, "gateway.err"), "w+")
    http = () if "--http" in extra else ("--http", "off")  # off unless the caller listens
    daemon = subprocess.Popen(
        [f"{build}/tools/zentrel-gateway", "--queue", queue or os.path.join(work, "queue.db"),
         "--lines", lines, "--db", db, "--socket", sock, *http, *extra],
        stdout=subprocess.DEVNULL, stderr=err, env=env)
    for _ in range(300):
        err.seek(0)
        if "listening on" in err.read():
            return daemon, sock
        if daemon.poll() is not None:
            break
        time.sleep(0.1)  # polling the daemon's log for its start-up line
    stop([daemon])
    err.seek(0)
    raise SystemExit("the gateway did not start:\n" + err.read())


def page_text(label, i, count):
    return f"{label} page {i + 1} of {count}"


def submit_all(socks, pins, count, label="Bench"):
    """One-page submissions, over `socks` in turn, each timed to its id."""
    clients = [Client(s) for s in socks]
    latencies, ids = [], []
    for i in range(count):
        request = {"op": "submit", "via": "bench",
                   "pages": [{"pin": pins[i % len(pins)], "text": page_text(label, i, count)}]}
        client = clients[i % len(clients)]
        start = time.perf_counter()
        client.send(request)
        reply = client.next()
        latencies.append((time.perf_counter() - start) * 1000)
        if not reply.get("ok"):
            raise SystemExit(f"submission refused: {reply}")
        ids += reply["ids"]
    return clients[0], latencies, ids


def watch(client, ids, each=None):
    """Every page of `ids` once final: id -> page; `each` sees each as it comes."""
    client.send({"op": "watch", "ids": ids})
    finals = {}
    while True:
        reply = client.next()
        if reply.get("done"):
            return finals
        finals[reply["page"]["id"]] = reply["page"]
        if each:
            each(reply["page"])


def accepted(finals):
    return sum(1 for p in finals.values() if p["state"] == "accepted")


def read_logs(logs):
    """The texts each terminal took, and the summed line time of the calls."""
    texts, line_ms = [], 0
    for log in logs:
        started = None
        with open(log) as f:
            for line in f:
                e = json.loads(line)
                if e["event"] == "call":
                    started = e["ms"]
                elif e["event"] == "hangup" and started is not None:
                    line_ms += e["ms"] - started
                    started = None
                elif e["event"] == "block" and e.get("valid"):
                    texts.append(e["message"])
    return texts, line_ms


def single_calls(build, work, db, bps, count):
    sim, link, _ = start_modem(build, work, "single", bps)
    scratch = benchlib.Scratch(build, work)
    scratch.lines(f"modem {link} ATZ", name="single.conf")
    env = scratch.env("single.conf")
    times = []
    for i in range(count):
        start = time.monotonic()
        done = subprocess.run([f"{build}/tools/zentrel-send", "--db", db, "--pin", "3000",
                               "--message", f"Single page {i + 1}"], env=env, capture_output=True)
        times.append(time.monotonic() - start)
        if done.returncode != 0:
            raise SystemExit(f"a single call failed: {done.stdout}{done.stderr}")
    sim.terminate()
    sim.wait(timeout=30)
    return statistics.mean(times)


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(round(p / 100 * (len(ordered) - 1))))]


def run(args):
    build = os.path.abspath(args.build)
    with tempfile.TemporaryDirectory() as work:
        os.makedirs(os.path.join(work, "locks"))
        pins = [str(3000 + i) for i in range(args.pins)]
        db = make_db(build, work, pins)
        sims, links, logs = start_modems(build, work, args.lines, args.bps)
        daemon, sock = start_gateway(build, work, write_lines(os.path.join(work, "lines.conf"),
                                                              links), db)
        try:
            r = {"pages": args.pages, "pins": args.pins, "lines": args.lines, "bps": args.bps}
            r["idle_cpu_ms_per_10s_before"] = idle_cpu(daemon.pid)
            r["rss_kib_idle"] = memory_kib(daemon.pid, "VmRSS")
            start = time.monotonic()
            client, latencies, ids = submit_all([sock], pins, args.pages)
            finals = watch(client, ids)
            r["delivery_s"] = time.monotonic() - start
            r["submit_ms_p50"] = percentile(latencies, 50)
            r["submit_ms_p99"] = percentile(latencies, 99)
            r["accepted"] = accepted(finals)
            texts, line_ms = read_logs(logs)
            expected = {page_text("Bench", i, args.pages) for i in range(args.pages)}
            r["received_once"] = sum(1 for t in expected if texts.count(t) == 1)
            r["received_twice_or_more"] = sum(1 for t in expected if texts.count(t) > 1)
            r["floor_s"] = line_ms / 1000 / args.lines
            r["rss_kib_peak"] = memory_kib(daemon.pid, "VmHWM")
            r["idle_cpu_ms_per_10s_after"] = idle_cpu(daemon.pid)
        finally:
            stop([daemon, *sims])
        mean = single_calls(build, work, db, args.bps, args.single)
        r["single_call_s"] = mean
        r["single_calls_one_line_s"] = mean * args.pages
        r["single_calls_over_lines_s"] = mean * args.pages / args.lines
        r["ratio_to_single_calls"] = r["delivery_s"] / r["single_calls_over_lines_s"]
        r["ratio_to_floor"] = r["delivery_s"] / r["floor_s"] if r["floor_s"] else None
    return r


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--bps", type=int, default=2400)
    parser.add_argument("--pages", type=int, default=500)
    parser.add_argument("--pins", type=int, default=50)
    parser.add_argument("--lines", type=int, default=4)
    parser.add_argument("--single", type=int, default=5)
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    r = run(args)
    print(f"{r['pages']} pages, {r['pins']} PINs, {r['lines']} lines at {r['bps']} bit/s")
    print(f"delivered: {r['accepted']} accepted; {r['received_once']} received once, "
          f"{r['received_twice_or_more']} more than once")
    print(f"delivery:  {r['delivery_s']:.1f} s; floor {r['floor_s']:.1f} s "
          f"(ratio {r['ratio_to_floor']:.2f})")
    print(f"single calls: {r['single_call_s']:.2f} s each; {r['pages']} of them "
          f"{r['single_calls_one_line_s']:.0f} s on one line, "
          f"{r['single_calls_over_lines_s']:.0f} s over {r['lines']}; "
          f"gateway / single calls {r['ratio_to_single_calls']:.3f} (target <= 0.3)")
    print(f"submission: p50 {r['submit_ms_p50']:.2f} ms, p99 {r['submit_ms_p99']:.2f} ms "
          "(target p99 < 20 ms)")
    print(f"daemon: RSS {r['rss_kib_idle']} KiB idle, {r['rss_kib_peak']} KiB peak; idle CPU "
          f"{r['idle_cpu_ms_per_10s_before']:.0f} ms / 10 s before, "
          f"{r['idle_cpu_ms_per_10s_after']:.0f} ms after (target < 10)")
    if args.json:
        with open(args.json, "w") as f:
            json.dump(r, f, indent=2)
    ok = (r["accepted"] == r["pages"] and r["received_once"] == r["pages"])
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
