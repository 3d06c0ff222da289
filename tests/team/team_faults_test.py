#!/usr/bin/python3
"""The team's history from outside, with faults: quarvel-cli laptops (each its own settings and history
folders), rk9-sim tools on pseudo-terminals and a private PostgreSQL cluster that this test starts, stops
(also with `pg_ctl stop -m immediate` in the middle of a push) and always removes.

  - the server down at start and coming up later: reads succeed and are kept, sync fails (6), then sends
  - a refused password and a schema of a newer program: sync fails (6) saying why, reads go on
  - the server killed in the middle of a pushed backlog: nothing lost, nothing doubled
  - two technicians syncing at the same moment
  - three laptops reading while the server is stopped and started again several times
Afterwards the server holds exactly the union of every laptop's records, none twice, and every laptop's
fleet view equals the server's. Prints the counts (bench/run runs it with --report and larger numbers).

With --wine-cli QUARVEL_CLI_EXE a Windows laptop joins at the end (quarvel-cli.exe under Wine, through
scripts/wine-run): it pulls the team's history from the same server, records a service visit of a tool the
others read, and a Linux laptop's next sync counts that tool's cycles from the visit.

  team_faults_test.py --cli QUARVEL_CLI --sim RK9_SIM [--backlog N] [--cycles N] [--report] [--wine-cli EXE]
"""
import argparse
import glob
import json
import os
import random
import shutil
import sqlite3
import subprocess
import sys
import tempfile
import time

HERE = os.path.dirname(os.path.abspath(__file__))
CLUSTER = os.path.join(HERE, "..", "support", "pg-cluster")
PASSWORD = "team-faults-pw"
TECHNICIANS = ["ann", "bob", "carl", "dora"]


def run(args, env=None, timeout=120, check=True):
    result = subprocess.run(args, env=env, capture_output=True, text=True, timeout=timeout)
    if check and result.returncode != 0:
        raise AssertionError(f"{' '.join(args)} exited {result.returncode}:\n{result.stdout}\n{result.stderr}")
    return result


class Server:
    def __init__(self, folder):
        self.dir = folder
        run([CLUSTER, "start", folder])
        self.port = open(os.path.join(folder, "port")).read().strip()
        roles = [f"CREATE ROLE quarvel_owner LOGIN PASSWORD '{PASSWORD}';",
                 "CREATE DATABASE quarvel OWNER quarvel_owner;",
                 "CREATE ROLE quarvel_technicians NOLOGIN;"]
        roles += [f"CREATE ROLE {t} LOGIN PASSWORD '{PASSWORD}' IN ROLE quarvel_technicians;" for t in TECHNICIANS]
        self.sql("\n".join(roles), database="postgres")

    def superuser_password(self):
        return open(os.path.join(self.dir, "password")).read().strip()

    def conninfo(self, user):
        return f"host=127.0.0.1 port={self.port} dbname=quarvel user={user} connect_timeout=3"

    def sql(self, statement, database="quarvel"):
        env = dict(os.environ, PGDATABASE=database)
        return run([CLUSTER, "sql", self.dir, statement], env=env).stdout.strip()

    def stop(self, mode="fast"):
        run([CLUSTER, "stop", self.dir, mode])

    def start(self):
        run([CLUSTER, "start", self.dir])

    def remove(self):
        run([CLUSTER, "remove", self.dir], check=False)


class Laptop:
    def __init__(self, root, name, server, cli, sim):
        self.name, self.server, self.cli, self.sim = name, server, cli, sim
        self.home = os.path.join(root, name)
        os.makedirs(os.path.join(self.home, "config", "kordane"))
        with open(os.path.join(self.home, "config", "kordane", "quarvel.reg"), "w") as f:
            f.write(f"sz:HistoryServer={server.conninfo(name)}\nsz:Technician={name.capitalize()}\n")
        self.env = dict(os.environ, XDG_CONFIG_HOME=os.path.join(self.home, "config"),
                        XDG_STATE_HOME=os.path.join(self.home, "state"), PGPASSWORD=PASSWORD)
        self.reads = 0

    @property
    def store(self):
        return os.path.join(self.home, "state", "quarvel", "history.sqlite3")

    def read(self, tool, total):
        """One read of a simulated tool; the read must succeed whatever the server does."""
        sim = subprocess.Popen([self.sim, "--tool-serial", tool, "--total-counter", str(total)],
                               stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True)
        try:
            line = sim.stdout.readline()
            device = line.split()[2]
            env = dict(self.env, QUARVEL_PORTS=f"1={device}")
            result = run([self.cli, "read", "--port", "1"], env=env, check=False)
        finally:
            sim.terminate()
            sim.wait(timeout=30)
        assert result.returncode == 0, f"read by {self.name}: {result.returncode}\n{result.stderr}"
        self.reads += 1
        return result

    def sync(self, check=True):
        result = run([self.cli, "sync"], env=self.env, check=False)
        if check:
            assert result.returncode == 0, f"sync by {self.name}: {result.returncode}\n{result.stderr}"
        return result

    def fleet(self):
        return json.loads(run([self.cli, "history", "--format", "json"], env=self.env).stdout)

    def backlog(self, count):
        """`count` reads kept while offline, written straight into the store (as a long trip would)."""
        db = sqlite3.connect(self.store)
        now = int(time.time() * 1000)
        rows = []
        for i in range(count):
            ms = now - (count - i) * 1000
            uuid = "%08x-%04x-7%03x-%04x-%012x" % (ms >> 16, ms & 0xffff, i & 0xfff,
                                                  0x8000 | random.getrandbits(14), random.getrandbits(48))
            at = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(ms / 1000))
            rows.append((at, "RK-9", f"B-{self.name}-{i % 50}", "C-1", "1.04", i, 1000 + i, 250, 300, 3, 2, 5,
                         bytes(16), "/dev/ttyUSB0", 115200, uuid, self.name.capitalize(), "m-" + self.name))
        db.executemany("INSERT INTO reads(read_at, tool_model, tool_serial, controller_serial, firmware_version,"
                       " cycle_counter, total_counter, position_counts, force_reading, force_factor,"
                       " force_divisor, cycle_flags, device_info, port, speed, uuid, technician, machine)"
                       " VALUES(" + ",".join("?" * 18) + ")", rows)
        db.commit()
        db.close()
        self.reads += count
        return [row[15] for row in rows]

    def waiting(self):
        db = sqlite3.connect(self.store)
        count = db.execute("SELECT (SELECT COUNT(*) FROM reads WHERE synced = 0)"
                           " + (SELECT COUNT(*) FROM service_visits WHERE synced = 0)").fetchone()[0]
        db.close()
        return count

    def local_reads(self):
        db = sqlite3.connect(self.store)
        ids = {row[0] for row in db.execute("SELECT uuid FROM reads")}
        db.close()
        return ids


def wine_laptop(exe, root, server, linux, server_fleet):
    """quarvel-cli.exe under Wine as one more technician's laptop, on the same server."""
    wine_run = os.path.join(HERE, "..", "..", "scripts", "wine-run")
    # Wine sets LOCALAPPDATA itself: the laptop's history is the prefix's, started afresh (the other Windows
    # tests that keep history hold the same CTest resource lock).
    prefix = os.environ.get("WINEPREFIX", "")
    assert prefix, "WINEPREFIX: the Windows build's prefix"
    for state in glob.glob(os.path.join(prefix, "drive_c", "users", "*", "AppData", "Local", "Quarvel")):
        shutil.rmtree(state)
    env = dict(os.environ, PGPASSWORD=PASSWORD)
    conninfo = ["--server", server.conninfo("dora")]
    result = run([wine_run, exe, "sync"] + conninfo, env=env, timeout=300)
    fleet = json.loads(run([wine_run, exe, "history", "--format", "json"], env=env, timeout=300).stdout)
    wine_fleet = ",".join(f"{r['tool_serial']}/{r['id']}" for r in fleet)
    assert wine_fleet == server_fleet, f"the Windows laptop's fleet differs from the server's: {result.stdout}"
    tool = fleet[0]["tool_serial"]
    run([wine_run, exe, "history", "serviced", "--tool", tool, "--note", "from Windows"], env=env, timeout=300)
    pushed = run([wine_run, exe, "sync"] + conninfo, env=env, timeout=300).stdout
    assert "pushed 1 records (1 new on the server)" in pushed, pushed
    linux.sync()
    mine = [r for r in linux.fleet() if r["tool_serial"] == tool][0]
    assert mine["cycles_since_service"] == 0, mine
    return {"wine_laptop_pulled_tools": len(fleet), "wine_visit_seen_on_linux": True}


def wait_until(condition, seconds, what):
    end = time.monotonic() + seconds
    while time.monotonic() < end:
        if condition():
            return
        time.sleep(0.02)
    raise AssertionError(f"timed out waiting for {what}")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--cli", required=True)
    parser.add_argument("--sim", required=True)
    parser.add_argument("--backlog", type=int, default=3000)
    parser.add_argument("--cycles", type=int, default=3)
    parser.add_argument("--report", action="store_true")
    parser.add_argument("--wine-cli")
    options = parser.parse_args()
    if options.backlog < 2000:
        parser.error("--backlog: at least 2000, so that the server is killed between two batches of 1000")
    root = tempfile.mkdtemp(prefix="quarvel-team-faults-")
    os.chmod(root, 0o755)  # the server runs as the postgres account when this runs as root
    server = None
    counts = {}
    try:
        server = Server(os.path.join(root, "pg"))
        owner = dict(os.environ, PGPASSWORD=PASSWORD, XDG_CONFIG_HOME=os.path.join(root, "owner"))
        run([options.cli, "server", "init", "--server", server.conninfo("quarvel_owner")], env=owner)
        laptops = [Laptop(root, name, server, options.cli, options.sim) for name in TECHNICIANS]
        ann, bob, carl, dora = laptops

        # The server down at start, coming up later.
        server.stop()
        result = ann.read("T-100", 500)
        assert "could not be reached" in result.stderr, result.stderr
        result = ann.sync(check=False)
        assert result.returncode == 6 and "could not be reached" in result.stderr, result.stderr
        server.start()
        result = ann.sync()
        assert "pushed 1 records (1 new on the server)" in result.stdout, result.stdout

        # A refused password, a schema of a newer program: refused, saying why; the reads go on.
        wrong = dict(bob.env, PGPASSWORD="wrong")
        result = run([options.cli, "sync"], env=wrong, check=False)
        assert result.returncode == 6 and "password" in result.stderr, result.stderr
        version = server.sql("SELECT version FROM quarvel_schema")
        server.sql("UPDATE quarvel_schema SET version = 99")
        bob.read("T-200", 700)
        result = bob.sync(check=False)
        assert result.returncode == 6 and "newer" in result.stderr, result.stderr
        server.sql(f"UPDATE quarvel_schema SET version = {version}")

        # The server killed in the middle of a pushed batch. So that the moment is certain, another session
        # holds an uncommitted row with the id of a record of the second batch: that batch's INSERT waits for
        # it (after the first batch's COMMIT), and the server is killed while it waits.
        dora.read("T-400", 100)
        ids = dora.backlog(options.backlog)
        blocker = subprocess.Popen(["psql", "-X", "-q", server.conninfo("postgres").replace(
            "connect_timeout=3", f"password={server.superuser_password()}")], stdin=subprocess.PIPE,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, text=True)
        blocker.stdin.write("BEGIN;\nINSERT INTO reads(id, read_at, tool_model, tool_serial, controller_serial,"
                            " firmware_version, cycle_counter, total_counter, position_counts, force_reading,"
                            " force_factor, force_divisor, cycle_flags, device_info, port, speed, technician, machine)"
                            f" VALUES('{ids[1500]}', now(), '', '', '', '', 0, 0, 0, 0, 0, 0, 0, '\\x00', '', 0,"
                            " 'blocker', '');\n")
        blocker.stdin.flush()
        wait_until(lambda: server.sql("SELECT COUNT(*) FROM pg_stat_activity WHERE application_name = 'psql'"
                                      " AND state = 'idle in transaction'") == "1", 30, "the blocking session")
        sync = subprocess.Popen([options.cli, "sync"], env=dora.env, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True)
        wait_until(lambda: server.sql("SELECT COUNT(*) FROM pg_stat_activity WHERE application_name = 'quarvel'"
                                      " AND wait_event_type = 'Lock'") == "1", 60, "the second batch waiting")
        server.stop("immediate")
        blocker.stdin.close()
        blocker.wait(timeout=30)
        out, err = sync.communicate(timeout=60)
        counts["killed_push_exit"] = sync.returncode
        assert sync.returncode == 6, f"sync exited {sync.returncode}: {out}{err}"
        server.start()
        counts["on_server_after_kill"] = int(server.sql("SELECT COUNT(*) FROM reads WHERE technician = 'Dora'"))
        counts["waiting_after_kill"] = dora.waiting()
        dora.sync()
        assert dora.waiting() == 0

        # Two technicians at the same moment, each with a backlog.
        ann.backlog(options.backlog // 2)
        bob.backlog(options.backlog // 2)
        both = [subprocess.Popen([options.cli, "sync"], env=t.env, stdout=subprocess.PIPE,
                                 stderr=subprocess.PIPE, text=True) for t in (ann, bob)]
        for process in both:
            out, err = process.communicate(timeout=120)
            assert process.returncode == 0, out + err

        # Three laptops reading while the server goes down and comes back, again and again.
        tool = 0
        for cycle in range(options.cycles):
            server.stop("immediate" if cycle % 2 else "fast")
            for laptop in (ann, bob, carl):
                tool += 1
                laptop.read(f"T-{tool % 7}", 1000 * (cycle + 1) + tool)
            server.start()
            for laptop in (ann, bob, carl):
                tool += 1
                laptop.read(f"T-{tool % 7}", 1000 * (cycle + 1) + tool)  # pushed by the read itself
            if cycle % 2:
                syncs = [subprocess.Popen([options.cli, "sync"], env=t.env, stdout=subprocess.DEVNULL,
                                          stderr=subprocess.DEVNULL) for t in (ann, bob, carl)]
                for process in syncs:
                    process.wait(timeout=120)

        # Everyone syncs twice: the first round sends, the second brings what the others sent.
        for _ in range(2):
            for laptop in laptops:
                laptop.sync()
        made = sum(t.reads for t in laptops)
        on_server = int(server.sql("SELECT COUNT(*) FROM reads"))
        distinct = int(server.sql("SELECT COUNT(DISTINCT id) FROM reads"))
        union = set().union(*(t.local_reads() for t in laptops))
        counts.update(reads_made=made, on_server=on_server, distinct_on_server=distinct, union_of_laptops=len(union))
        assert on_server == made == distinct == len(union), counts
        server_fleet = server.sql(
            "SELECT string_agg(tool_serial || '/' || id, ',' ORDER BY tool_serial, controller_serial) FROM"
            " (SELECT DISTINCT ON (tool_serial, controller_serial) tool_serial, controller_serial, id FROM reads"
            " ORDER BY tool_serial, controller_serial, id DESC) last")
        fleets = [t.fleet() for t in laptops]
        equal = all(",".join(f"{r['tool_serial']}/{r['id']}" for r in fleet) == server_fleet for fleet in fleets)
        counts.update(fleet_tools=len(fleets[0]), fleets_equal_server=equal,
                      laptops_waiting=sum(t.waiting() for t in laptops))
        assert equal and counts["laptops_waiting"] == 0, counts
        if options.wine_cli:
            counts.update(wine_laptop(options.wine_cli, root, server, ann, server_fleet))
        print(json.dumps(counts) if options.report else f"team faults: {counts}")
        return 0
    finally:
        if server:
            server.remove()
        shutil.rmtree(root, ignore_errors=True)


if __name__ == "__main__":
    sys.exit(main())
