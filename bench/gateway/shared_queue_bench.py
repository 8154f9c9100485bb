#!/usr/bin/env python3
"""The 500-page gateway run on each queue: SQLite, PostgreSQL with one
gateway, PostgreSQL with two gateways sharing it; in one run.

The same four emulated modems (zentrel-modemsim, paced at --bps) each time:
one gateway has all four lines; two gateways ("hosts" with their own
folders, sockets and names) have two each. PostgreSQL is a server of the
bench's own (initdb in a scratch folder, a Unix socket there only, run as
the postgres user when started as root), stopped at the end. For each
queue: pages per minute from the first submission until every page is
final, and submission latency p50/p99 (one-page requests, each timed until
the id comes back, split over the gateways' sockets in turn); checked:
every page accepted, each text received exactly once.

Usage: shared_queue_bench.py [BUILD_DIR] [--bps N] [--pages N] [--pins N]
       [--json FILE]
"""
import argparse
import json
import os
import pwd
import signal
import subprocess
import sys
import tempfile
import time

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import gateway_bench as gb  # noqa: E402

PG_BIN = "/usr/lib/postgresql/15/bin"
LINES = 4


def as_postgres():
    """preexec_fn and folder owner for the server: initdb refuses root."""
    if os.geteuid() != 0:
        return None, None
    user = pwd.getpwnam("postgres")

    def drop():
        os.setgroups([])
        os.setgid(user.pw_gid)
        os.setuid(user.pw_uid)
    return drop, user


def start_postgres(work):
    drop, user = as_postgres()
    folder = os.path.join(work, "pg")
    os.makedirs(folder)
    if user:
        os.chown(folder, user.pw_uid, user.pw_gid)
    data = os.path.join(folder, "data")
    subprocess.run([f"{PG_BIN}/initdb", "-D", data, "-U", "zentrel", "-A", "trust",
                    "--no-sync", "--no-instructions"], check=True, capture_output=True,
                   preexec_fn=drop)
    with open(os.path.join(data, "postgresql.conf"), "a") as conf:
        conf.write(f"listen_addresses = ''\nunix_socket_directories = '{folder}'\n")
    subprocess.run([f"{PG_BIN}/pg_ctl", "-D", data, "-l", os.path.join(folder, "log"), "-w",
                    "start"], check=True, capture_output=True, preexec_fn=drop)
    with open(os.path.join(data, "postmaster.pid")) as f:
        pid = int(f.readline())
    return pid, folder


def stop_postgres(pid):
    os.kill(pid, signal.SIGINT)
    for _ in range(200):
        try:
            os.kill(pid, 0)
        except ProcessLookupError:
            return
        time.sleep(0.1)  # the server is not our child: its exit is polled


def create_database(folder, name):
    subprocess.run(["psql", "-h", folder, "-U", "zentrel", "-d", "postgres", "-q", "-c",
                    f"CREATE DATABASE {name}"], check=True, capture_output=True)
    return f"postgresql:///{name}?host={folder}&user=zentrel"


def start_gateways(build, work, db, queue, groups):
    """One gateway per group of modem links; their processes and sockets."""
    gateways = []
    for n, links in enumerate(groups):
        home = os.path.join(work, f"host{n}")
        os.makedirs(home)
        lines = os.path.join(home, "lines.conf")
        with open(lines, "w") as conf:
            for link in links:
                conf.write(f"modem {link} ATZ\n")
        sock = os.path.join(home, "gateway.sock")
        env = dict(os.environ, ZENTREL_LOCK_DIR=os.path.join(work, "locks"),
                   XDG_CONFIG_HOME=os.path.join(home, "config"), XDG_RUNTIME_DIR=home)
        err = open(os.path.join(home, "gateway.err"), "w+")
        where = queue if queue else os.path.join(home, "queue.db")
        daemon = subprocess.Popen(
            [f"{build}/tools/zentrel-gateway", "--queue", where, "--name", f"host{n}",
             "--lines", lines, "--db", db, "--socket", sock], stderr=err, env=env)
        for _ in range(300):
            err.seek(0)
            if "listening on" in err.read():
                break
            if daemon.poll() is not None:
                break
            time.sleep(0.1)  # polling the daemon's log for its start-up line
        else:
            raise SystemExit("a gateway did not start")
        if daemon.poll() is not None:
            err.seek(0)
            raise SystemExit("a gateway did not start:\n" + err.read())
        gateways.append((daemon, sock))
    return gateways


def submit_spread(socks, pins, count, label):
    clients = [gb.Client(s) for s in socks]
    latencies, ids = [], []
    for i in range(count):
        request = {"op": "submit", "via": "bench", "pages": [
            {"pin": pins[i % len(pins)], "text": f"{label} page {i + 1} of {count}"}]}
        client = clients[i % len(clients)]
        start = time.perf_counter()
        client.send(request)
        reply = client.next()
        latencies.append((time.perf_counter() - start) * 1000)
        if not reply.get("ok"):
            raise SystemExit(f"submission refused: {reply}")
        ids += reply["ids"]
    return clients[0], latencies, ids


def one_run(build, work, db, args, label, queue, gateways_count):
    run_dir = os.path.join(work, label)
    os.makedirs(os.path.join(run_dir, "locks"))
    sims, links, logs = [], [], []
    for i in range(LINES):
        sim, link, log = gb.start_modem(build, run_dir, i, args.bps)
        sims.append(sim)
        links.append(link)
        logs.append(log)
    per = LINES // gateways_count
    groups = [links[g * per:(g + 1) * per] for g in range(gateways_count)]
    gateways = start_gateways(build, run_dir, db, queue, groups)
    try:
        start = time.monotonic()
        pins = [str(3000 + i) for i in range(args.pins)]
        client, latencies, ids = submit_spread([s for _, s in gateways], pins, args.pages, label)
        finals = gb.watch(client, ids)
        seconds = time.monotonic() - start
    finally:
        for daemon, _ in gateways:
            daemon.terminate()
            daemon.wait(timeout=60)
        for sim in sims:
            sim.terminate()
            sim.wait(timeout=30)
    texts, _ = gb.read_logs(logs)
    expected = [f"{label} page {i + 1} of {args.pages}" for i in range(args.pages)]
    return {"queue": label, "gateways": gateways_count, "seconds": seconds,
            "pages_per_min": args.pages / seconds * 60,
            "submit_ms_p50": gb.percentile(latencies, 50),
            "submit_ms_p99": gb.percentile(latencies, 99),
            "accepted": sum(1 for s in finals.values() if s == "accepted"),
            "received_once": sum(1 for t in expected if texts.count(t) == 1)}


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--bps", type=int, default=2400)
    parser.add_argument("--pages", type=int, default=500)
    parser.add_argument("--pins", type=int, default=50)
    parser.add_argument("--json", help="also write the figures to this file")
    args = parser.parse_args()
    build = os.path.abspath(args.build)
    results = []
    with tempfile.TemporaryDirectory() as work:
        os.chmod(work, 0o755)
        db = gb.make_db(build, work, [str(3000 + i) for i in range(args.pins)])
        pid, folder = start_postgres(work)
        try:
            results.append(one_run(build, work, db, args, "sqlite", None, 1))
            results.append(one_run(build, work, db, args, "pg1", create_database(folder, "one"), 1))
            results.append(one_run(build, work, db, args, "pg2", create_database(folder, "two"), 2))
        finally:
            stop_postgres(pid)
    print(f"{args.pages} pages, {args.pins} PINs, {LINES} lines at {args.bps} bit/s")
    for r in results:
        print(f"{r['queue']:7} {r['gateways']} gateway(s): {r['pages_per_min']:.0f} pages/min "
              f"({r['seconds']:.1f} s), submission p50 {r['submit_ms_p50']:.2f} ms, "
              f"p99 {r['submit_ms_p99']:.2f} ms; {r['accepted']} accepted, "
              f"{r['received_once']} received once")
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=2)
    ok = all(r["accepted"] == args.pages and r["received_once"] == args.pages for r in results)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
