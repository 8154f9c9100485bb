"""What the benchmarks share: the build's programs, a scratch folder with its
recipients' database, the emulator started and its log read back,
zentrel-send run with the folder's lines, page log and locks (never the
user's), and the result line that sets a figure beside its floor and target.

A script in a folder of bench/ imports it after putting bench/ on its path:
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), ".."))
"""
import collections
import json
import os
import subprocess
import time

# A zentrel-send run: exit status, wall and CPU time (ms), peak resident
# memory (KB), standard output and error.
Sent = collections.namedtuple("Sent", "status wall_ms cpu_ms rss_kb out err")


def program(build, name):
    return os.path.join(build, "tools", name)


def tool(build, name, *args):
    """Runs one of the build's tools to its end; stops the bench if it fails."""
    subprocess.run([program(build, name), *args], check=True, capture_output=True)


class Scratch:
    """A work folder: the database `vp.mdb`, the page log, the locks and the
    lines.conf each run is given."""

    def __init__(self, build, work):
        self.build, self.work = build, work
        self.db = self.path("vp.mdb")

    def path(self, name):
        return os.path.join(self.work, name)

    def demo_db(self):
        tool(self.build, "zentrel-db", "demo", self.db)

    def pins_db(self, pins, number="5551234"):
        """A database of `pins`, each an on-call entry dialling `number`."""
        csv = self.path("r.csv")
        with open(csv, "w") as f:
            f.write("pin,fname,lname,pagephone\n")
            for pin in pins:
                f.write(f"{pin},On,Call {pin},{number}\n")
        tool(self.build, "zentrel-db", "init", self.db)
        tool(self.build, "zentrel-db", "import", "--db", self.db, csv)
        return self.db

    def lines(self, *lines, name="lines.conf"):
        """Writes a lines.conf of `lines`; returns its path."""
        conf = self.path(name)
        with open(conf, "w") as f:
            f.write("".join(line + "\n" for line in lines))
        return conf

    def env(self, lines="lines.conf"):
        locks = self.path("locks")
        return dict(os.environ, ZENTREL_LINES=self.path(lines), ZENTREL_PAGE_LOG=self.path("pages.db"),
                    ZENTREL_LOCK_DIR=locks, ZENTREL_PORT_LOCK_DIR=locks)

    def emulator(self, log, *args):
        """Starts zentrel-modemsim with `args`, its log at `log` (a name in the
        folder); returns (process, where it is: the pty or HOST:PORT, log path)."""
        os.makedirs(self.path("locks"), exist_ok=True)
        log = self.path(log)
        sim = subprocess.Popen([program(self.build, "zentrel-modemsim"), "--log", log, *args],
                               stdout=subprocess.PIPE, text=True)
        ready = sim.stdout.readline().split()
        if not ready or ready[0] != "ready":
            raise SystemExit("the emulator did not start")
        return sim, ready[1], log

    def send(self, *args, lines="lines.conf"):
        """One zentrel-send run to its end, timed from start to exit."""
        out, err = self.path("send.out"), self.path("send.err")
        with open(out, "w") as stdout, open(err, "w") as stderr:
            start = time.monotonic()
            child = subprocess.Popen([program(self.build, "zentrel-send"), "--db", self.db, *args],
                                     env=self.env(lines), stdout=stdout, stderr=stderr)
            _, status, usage = os.wait4(child.pid, 0)
            wall = (time.monotonic() - start) * 1000
        child.returncode = os.waitstatus_to_exitcode(status)
        with open(out) as o, open(err) as e:
            return Sent(child.returncode, wall, (usage.ru_utime + usage.ru_stime) * 1000, usage.ru_maxrss,
                        o.read(), e.read())


def stop(processes, timeout=60):
    """Terminates each process still running and waits for it."""
    for p in processes:
        if p.poll() is None:
            p.terminate()
    for p in processes:
        try:
            p.wait(timeout=timeout)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


def events(log, *kinds):
    """The emulator's logged events, those named in `kinds` when given."""
    with open(log) as f:
        for line in f:
            e = json.loads(line)
            if not kinds or e["event"] in kinds:
                yield e


def line_bytes(log):
    """Bytes that crossed the line, both ways."""
    return sum(len(e["hex"]) // 2 for e in events(log, "rx", "tx"))


def line_ms(count, bps):
    """Line time of `count` bytes at `bps` (10 bits a character); 0 unpaced."""
    return count * 10 * 1000 / bps if bps else 0.0


def row(name, got, floor, target, unit="ms"):
    """One figure beside its floor and its target, with the verdict."""
    verdict = "ok" if got < target else "OVER"
    print(f"{name:44} {got:9.1f} {unit:2} floor {floor:8.1f} {unit:2} target < {target:.1f} {verdict}")
