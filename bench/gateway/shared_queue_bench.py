#!/usr/bin/env python3
"""The 500-page gateway run on each queue: SQLite, PostgreSQL with one
gateway, PostgreSQL with two gateways sharing it; then a takeover; in one run.

The same four emulated modems (zentrel-modemsim, paced at --bps) each time:
one gateway has all four lines; two gateways ("hosts" with their own
folders, sockets and names) have two each. PostgreSQL is a server of the
bench's own (initdb in a scratch folder, a Unix socket there only, run as
the postgres user when started as root), stopped at the end. For each
queue: pages per minute from the first submission until every page is
final, and submission latency p50/p99 (one-page requests, each timed until
the id comes back, split over the gateways' sockets in turn); the wait from
queued to accepted p50/p99 (the queue's own times); checked: every page
accepted, none lost, none received twice unless marked a possible duplicate.
The takeover run: two gateways, --takeover-pages pages, the first killed
with SIGKILL once a fifth are final; measured: from the kill until the first
and the last page it held is accepted by the other (the first after about
the lease, --lease, plus a block; the last also waits its turn in the queue).

Usage: shared_queue_bench.py [BUILD_DIR] [--bps N] [--pages N] [--pins N]
       [--lease S] [--takeover-pages N] [--json FILE]
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


def start_gateways(build, work, db, queue, groups, extra=()):
    """One gateway ("host") per group of modem links, each in a folder of its
    own with its own name; their processes and sockets."""
    gateways = []
    try:
        for n, links in enumerate(groups):
            home = os.path.join(work, f"host{n}")
            os.makedirs(os.path.join(home, "locks"))
            lines = gb.write_lines(os.path.join(home, "lines.conf"), links)
            gateways.append(gb.start_gateway(
                build, home, lines, db, ("--snpp", "off", "--name", f"host{n}", *extra), queue))
    except BaseException:
        gb.stop([daemon for daemon, _ in gateways])
        raise
    return gateways


def accepted_at(page):
    for attempt in page["attempts"]:
        if attempt["outcome"] == "accepted":
            return attempt["at"]
    return None


def delivery_checks(finals, logs, label, count):
    """Accepted, lost and doubled counts; a text may reach a terminal twice
    only when its page is marked a possible duplicate."""
    texts, _ = gb.read_logs(logs)
    by_text = {p["text"]: p for p in finals.values()}
    r = {"accepted": gb.accepted(finals), "lost": 0, "doubled": 0, "marked_twice": 0}
    for i in range(count):
        text = gb.page_text(label, i, count)
        times = texts.count(text)
        marked = by_text.get(text, {}).get("may_be_duplicate", False)
        r["lost"] += times == 0
        r["doubled"] += times > 1 and not marked
        r["marked_twice"] += times > 1 and marked
    waits = [accepted_at(p) - p["queued_at"] for p in finals.values() if accepted_at(p)]
    r["to_accepted_s_p50"] = gb.percentile(waits, 50) if waits else None
    r["to_accepted_s_p99"] = gb.percentile(waits, 99) if waits else None
    return r


def held_by(sock, name):
    """The pages a gateway holds now, as another gateway lists them."""
    client = gb.Client(sock)
    client.send({"op": "list"})
    final = ("accepted", "refused", "expired", "cancelled")
    return {p["id"] for p in client.next()["pages"]
            if p.get("holder") == name and p["state"] not in final}


class Killer:
    """Kills the first gateway with SIGKILL once a fifth of the pages are
    final, noting when and which pages it held then."""

    def __init__(self, victim, other_sock, count):
        self.victim, self.other_sock, self.count = victim, other_sock, count
        self.seen, self.at, self.held = 0, None, set()

    def __call__(self, _page):
        self.seen += 1
        if self.at is None and self.seen >= max(1, self.count // 5):
            self.victim.send_signal(signal.SIGKILL)
            self.victim.wait()
            self.at = time.time()
            self.held = held_by(self.other_sock, "host0")


def one_run(build, work, db, args, label, queue, gateways_count, kill=False):
    run_dir = os.path.join(work, label)
    os.makedirs(run_dir)
    count = args.takeover_pages if kill else args.pages
    sims, links, logs = gb.start_modems(build, run_dir, LINES, args.bps)
    per = LINES // gateways_count
    groups = [links[g * per:(g + 1) * per] for g in range(gateways_count)]
    gateways = []
    try:
        extra = ("--lease-seconds", str(args.lease)) if queue else ()
        gateways = start_gateways(build, run_dir, db, queue, groups, extra)
        socks = [sock for _, sock in gateways]
        start = time.monotonic()
        pins = [str(3000 + i) for i in range(args.pins)]
        _, latencies, ids = gb.submit_all(socks, pins, count, label)
        killer = Killer(gateways[0][0], socks[-1], count) if kill else None
        finals = gb.watch(gb.Client(socks[-1]), ids, killer)
        seconds = time.monotonic() - start
    finally:
        gb.stop([daemon for daemon, _ in gateways] + sims)
    r = {"queue": label, "gateways": gateways_count, "pages": count, "seconds": seconds,
         "pages_per_min": count / seconds * 60,
         "submit_ms_p50": gb.percentile(latencies, 50),
         "submit_ms_p99": gb.percentile(latencies, 99),
         **delivery_checks(finals, logs, label, count)}
    if kill:
        ends = [accepted_at(finals[i]) for i in killer.held if accepted_at(finals[i])]
        r["held_at_kill"] = len(killer.held)
        r["first_taken_over_s"] = min(ends) - killer.at if ends else None
        r["takeover_s"] = max(ends) - killer.at if ends else None
        r["all_final_after_kill_s"] = max(accepted_at(p) or 0 for p in finals.values()) - killer.at
    return r


def report(r):
    line = (f"{r['queue']:8} {r['gateways']} gateway(s), {r['pages']} pages: "
            f"{r['pages_per_min']:.0f} pages/min ({r['seconds']:.1f} s); submission p50 "
            f"{r['submit_ms_p50']:.2f} ms, p99 {r['submit_ms_p99']:.2f} ms; to accepted p50 "
            f"{r['to_accepted_s_p50']:.1f} s, p99 {r['to_accepted_s_p99']:.1f} s; "
            f"{r['accepted']} accepted, {r['lost']} lost, {r['doubled']} doubled unmarked, "
            f"{r['marked_twice']} marked and sent twice")
    if "takeover_s" in r:
        first = r["first_taken_over_s"]
        took = "n/a" if first is None else f"{first:.1f} to {r['takeover_s']:.1f} s"
        line += (f"\n         host0 killed holding {r['held_at_kill']} page(s): these accepted by "
                 f"host1 {took} after the kill; every page final "
                 f"{r['all_final_after_kill_s']:.1f} s after it")
    print(line)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("build", nargs="?", default="build")
    parser.add_argument("--bps", type=int, default=2400)
    parser.add_argument("--pages", type=int, default=500)
    parser.add_argument("--pins", type=int, default=50)
    parser.add_argument("--lease", type=float, default=5,
                        help="lease-seconds of the PostgreSQL gateways")
    parser.add_argument("--takeover-pages", type=int, default=100)
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
            results.append(one_run(build, work, db, args, "pg2-kill",
                                   create_database(folder, "kill"), 2, kill=True))
        finally:
            stop_postgres(pid)
    print(f"{args.pins} PINs, {LINES} lines at {args.bps} bit/s, lease {args.lease:g} s")
    for r in results:
        report(r)
    if args.json:
        with open(args.json, "w") as f:
            json.dump(results, f, indent=2)
    ok = all(r["accepted"] == r["pages"] and not r["lost"] and not r["doubled"] for r in results)
    sys.exit(0 if ok else 1)


if __name__ == "__main__":
    main()
