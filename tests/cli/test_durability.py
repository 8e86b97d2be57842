#!/usr/bin/env python3
"""velmorix-cli when it is killed at any step, when two commands meet, and on a full disk.

FaultInjectionTest kills a command just before each system call that changes a file (strace
injects SIGKILL at the Nth call of that kind), lets the next command on the database recover, and
checks that the folder is exactly as before the command or exactly as after a clean run of it:
the database and the part files agree, every byte outside a cut stretch is there, and nothing is
left behind. Long runs of alike data writes are sampled (see thinned()).

RaceTest starts two commands on one database together; FullDiskTest runs on a full tmpfs (root only).
"""
import hashlib
import json
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
from test_cli import FULL_PART, encode, part_name, random_record  # noqa: E402

CLI = None
KEPT_OUT = {"DZT000.BAK", "DZR000.BAK"}
UNDO = ".velmorix-undo"  # the backups are checked on their own; nothing else may stay

# System calls that change a file; a kill lands just before one of them.
CHANGING = ["openat", "write", "pwrite64", "rename", "renameat", "renameat2", "unlink", "unlinkat",
            "ftruncate", "truncate", "fsync", "fdatasync", "copy_file_range", "fallocate"]
LINE = re.compile(r"^(?:\d+\s+)?(\w+)\((.*)$")


def strace_usable():
    if not shutil.which("strace"):
        return "strace is not installed (scripts/install-deps.sh installs it)"
    probe = subprocess.run(["strace", "-f", "-qq", "-o", "/dev/null", "true"], capture_output=True)
    if probe.returncode != 0:
        return "strace cannot trace here: " + probe.stderr.decode(errors="replace").strip()
    return None


def digest(path):
    """Size and a hash of the bytes of a file, reading only its data (sparse parts cost nothing)."""
    h = hashlib.sha1()
    size = os.path.getsize(path)
    with open(path, "rb") as f:
        fd = f.fileno()
        pos = 0
        while pos < size:
            try:
                start = os.lseek(fd, pos, os.SEEK_DATA)
            except OSError:
                break
            end = os.lseek(fd, start, os.SEEK_HOLE)
            os.lseek(fd, start, os.SEEK_SET)
            chunk = os.read(fd, end - start)
            # Zeros written as data read like a hole: only non-zero runs count, with their offsets.
            if chunk.strip(b"\0"):
                h.update(b"%d:" % start + chunk)
            pos = end
    return size, h.hexdigest()


def folder_state(folder):
    """Every file of the folder and of its undo folder (what undo keeps is the user's too), by content."""
    state = {}
    for name in sorted(os.listdir(folder)):
        path = os.path.join(folder, name)
        if name == UNDO and os.path.isdir(path):
            for top, _, names in os.walk(path):
                for kept in names:
                    state[os.path.relpath(os.path.join(top, kept), folder)] = digest(os.path.join(top, kept))
        if name in KEPT_OUT or os.path.isdir(path):
            continue
        state[name] = digest(path)
    return state


CYCLE = bytes((i % 251) + 1 for i in range(4096 + 251))


def write_part(path, size, seed):
    """A part file of `size` bytes: a marker every MiB and at the end, holes between."""
    with open(path, "wb") as f:
        f.truncate(size)
        for pos in list(range(0, size, 1 << 20)) + [max(0, size - 4096)]:
            f.seek(pos)
            start = (seed * 31 + pos // 4096) % 251
            f.write(CYCLE[start:start + min(4096, size - pos)])


def make_db(folder, recordings, name="DZT000.DB", first_part_slot=1):
    """recordings: list of (duration, [part sizes]); part files are written too, their names
    numbered from first_part_slot (a second database of the folder needs names of its own)."""
    os.makedirs(folder, exist_ok=True)
    rng = __import__("random").Random(len(recordings))
    records = {}
    for index, (duration, sizes) in enumerate(recordings):
        rec = random_record(rng, index + 1, index + first_part_slot, len(sizes))
        rec["name"] = b"\x05" + (b"Rec%d" % (index + 1)).ljust(15, b"\0")
        rec["duration"] = duration
        rec["ext_a"] = sum(sizes)
        records[index] = rec
        for j, size in enumerate(sizes):
            write_part(os.path.join(folder, part_name(index + first_part_slot, j).decode()), size, index * 10 + j)
    db = os.path.join(folder, name)
    with open(db, "wb") as f:
        f.write(encode(5, len(recordings), records))
    return db


P = FULL_PART
LAST = 188 * 5000
# Four parts of 100 seconds each (the last one shorter): the cut stretches below lie near part
# boundaries, so each trim is a few MiB.
FOUR_PARTS = (350, [P, P, P, LAST])


class Scenario:
    """A folder, a command on it, and the command that recovers after it was killed."""

    def __init__(self, name, setup, command, recover, folders, made_by_recovery=(), left_by_kill=None):
        self.name, self.setup, self.command, self.recover, self.folders = name, setup, command, recover, folders
        self.made_by_recovery = set(made_by_recovery)  # files the recovering command itself writes
        # Files a killed command may leave that no later command removes: left_by_kill(name).
        self.left_by_kill = left_by_kill or (lambda name: False)


def scenarios(root):
    def disk(sub):
        return os.path.join(root, sub)

    rec_db = os.path.join(disk("rec"), "DZT000.DB")
    pc_db = os.path.join(disk("pc"), "DZT000.DB")
    new_db = os.path.join(disk("new"), "DZT000.DB")
    out = disk("out")

    def source_and_target():
        make_db(disk("rec"), [(60, [188 * 3000, 188 * 700])])
        make_db(disk("pc"), [(30, [188 * 100])])

    def recording():
        make_db(disk("rec"), [FOUR_PARTS, (20, [188 * 400]), (40, [188 * 900, 188 * 20])])

    def then(command):
        """recording(), then `command` run to its end: what undo and emptying it start from."""
        def setup():
            recording()
            subprocess.run([CLI, *command], check=True, capture_output=True, timeout=120, stdin=subprocess.DEVNULL)
        return setup

    def for_merge():
        make_db(disk("rec"), [(60, [188 * 3000, 188 * 700]), (20, [188 * 400])])
        os.makedirs(out)

    return [
        Scenario("copy", source_and_target, ["copy", rec_db, pc_db, "1"], [["check", pc_db]], [disk("pc")]),
        # The output folder is the user's: a merge removes there only the temporary file it made
        # itself, so the one of a killed merge (a hidden name) stays.
        Scenario("merge", for_merge, ["merge", rec_db, "1", out], [["merge", rec_db, "2", out]], [out],
                 made_by_recovery=["[m]Rec2.trp"], left_by_kill=lambda name: name.startswith(".")),
        Scenario("cut-single", recording, ["cut", rec_db, "1", "120", "125", "--yes"], [["check", rec_db]],
                 [disk("rec")]),
        Scenario("cut-two-part", recording, ["cut", rec_db, "1", "196", "203", "--yes"], [["check", rec_db]],
                 [disk("rec")]),
        Scenario("cut-multi-part", recording, ["cut", rec_db, "1", "0", "104", "--yes"], [["check", rec_db]],
                 [disk("rec")]),
        # Several stretches in one cut: one plan with every trim; the part files hold no timestamps,
        # so the byte rate places the marks.
        Scenario("cut-stretches", recording, ["cut", rec_db, "1", "120", "125", "196", "203", "--yes"],
                 [["check", rec_db]], [disk("rec")]),
        Scenario("rename", recording, ["rename", rec_db, "2", "Renamed"], [["check", rec_db]], [disk("rec")]),
        Scenario("delete", recording, ["delete", rec_db, "3"], [["check", rec_db]], [disk("rec")]),
        Scenario("create", lambda: os.makedirs(disk("new")), ["create", new_db], [["create", new_db]], [disk("new")]),
        # Undo of a deletion and of a cut that removed a whole part, renamed the others and trimmed one,
        # and emptying what undo keeps: each ends as before it or as after it.
        Scenario("undo-delete", then(["delete", rec_db, "1", "3"]), ["undo", rec_db], [["check", rec_db]],
                 [disk("rec")]),
        Scenario("undo-cut", then(["cut", rec_db, "1", "50", "250", "--yes"]), ["undo", rec_db],
                 [["check", rec_db]], [disk("rec")]),
        Scenario("undo-empty", then(["delete", rec_db, "1"]), ["undo", "--empty", rec_db], [["check", rec_db]],
                 [disk("rec")]),
    ]


def traced_env():
    """LeakSanitizer cannot run under ptrace; a sanitizer build then checks everything else."""
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "detect_leaks=0"]))
    return env


def kill_points(log):
    """(syscall, Nth call of it) for every call in an strace log that changes a file."""
    counts = {}
    points = []
    with open(log) as f:
        for line in f:
            m = LINE.match(line)
            if not m or m.group(1) not in CHANGING:
                continue
            name, args = m.group(1), m.group(2)
            counts[name] = counts.get(name, 0) + 1
            if name == "openat" and "O_CREAT" not in args:
                continue
            if name in ("write", "pwrite64") and not re.match(r"\d+</(?!dev/|proc/)", args):
                continue  # the terminal, a pipe
            points.append((name, counts[name]))
    return points


def thinned(points, keep=10):
    """The kill points with long runs of one call (the writes of a data copy) cut down to their
    first and last two calls and a few evenly spaced ones between: those in between are alike."""
    runs = []
    for point in points:
        if runs and runs[-1][-1][0] == point[0] and runs[-1][-1][1] + 1 == point[1]:
            runs[-1].append(point)
        else:
            runs.append([point])
    chosen = []
    for run in runs:
        if len(run) <= keep:
            chosen += run
            continue
        step = (len(run) - 4) / (keep - 4)
        middle = [run[2 + int(i * step)] for i in range(keep - 4)]
        chosen += run[:2] + sorted(set(middle) - set(run[:2]) - set(run[-2:]), key=lambda p: p[1]) + run[-2:]
    return chosen


class FaultInjectionTest(unittest.TestCase):
    counts = {}

    @classmethod
    def setUpClass(cls):
        reason = strace_usable()
        if reason:
            raise unittest.SkipTest(reason)

    @classmethod
    def tearDownClass(cls):
        if cls.counts:
            print("\nkills injected (of the file-changing calls): " +
                  ", ".join("%s %d of %d" % (name, *n) for name, n in cls.counts.items()) +
                  " (%d in all)" % sum(n[0] for n in cls.counts.values()), file=sys.stderr)

    def run_cli(self, args, cwd):
        return subprocess.run([CLI, *args], cwd=cwd, capture_output=True, timeout=120, stdin=subprocess.DEVNULL)

    def fresh(self, scenario):
        root = tempfile.mkdtemp(prefix="vmx-fault-")
        self.addCleanup(shutil.rmtree, root, True)
        chosen = next(s for s in scenarios(root) if s.name == scenario)
        chosen.setup()
        return root, chosen

    def states(self, chosen):
        return [{name: data for name, data in folder_state(f).items()
                 if name not in chosen.made_by_recovery and not chosen.left_by_kill(name)}
                for f in chosen.folders]

    def check_scenario(self, name):
        root, chosen = self.fresh(name)
        before = self.states(chosen)
        log = os.path.join(root, "trace.log")
        traced = subprocess.run(["strace", "-f", "-qq", "-y", "-o", log, "-e", "trace=" + ",".join(CHANGING),
                                 CLI, *chosen.command], cwd=root, capture_output=True, timeout=120,
                                stdin=subprocess.DEVNULL, env=traced_env())
        self.assertEqual(traced.returncode, 0, traced.stderr)
        after = self.states(chosen)
        self.assertNotEqual(before, after, "the command changes something")
        every = kill_points(log)
        points = thinned(every)
        self.assertGreater(len(points), 5)
        killed = 0
        for syscall, nth in points:
            with self.subTest(syscall=syscall, nth=nth):
                root, chosen = self.fresh(name)
                run = subprocess.run(["strace", "-f", "-qq", "-o", "/dev/null", "-e",
                                      "inject=%s:signal=KILL:when=%d" % (syscall, nth), CLI, *chosen.command],
                                     cwd=root, capture_output=True, timeout=120, stdin=subprocess.DEVNULL,
                                     env=traced_env())
                killed += run.returncode != 0
                for recover in chosen.recover:
                    self.run_cli(recover, root)
                got = self.states(chosen)
                self.assertIn(got, (before, after), "%s killed at %s #%d" % (name, syscall, nth))
                # The next operation on the database works as usual, and nothing of ours is left.
                db = os.path.join(chosen.folders[0], "DZT000.DB")
                self.assertFalse(os.path.exists(os.path.join(chosen.folders[0], ".velmorix.lock")))
                if os.path.exists(db):
                    listed = self.run_cli(["list", db, "--json"], root)
                    self.assertEqual(listed.returncode, 0, listed.stderr)
        self.assertGreater(killed, len(points) // 2, "most injections hit the command")
        FaultInjectionTest.counts[name] = (len(points), len(every))

    def test_merge_stops_at_a_signal(self):
        """SIGTERM, SIGINT and SIGHUP during a merge stop it at once: its unfinished file goes,
        nothing else changes, and it says so."""
        for signal in ("TERM", "INT", "HUP"):
            with self.subTest(signal=signal):
                root, chosen = self.fresh("merge")
                folders = chosen.folders + [os.path.join(root, "rec")]
                before = [folder_state(f) for f in folders]
                run = subprocess.run(["strace", "-f", "-qq", "-o", "/dev/null", "-e",
                                      "inject=copy_file_range:signal=%s:when=1" % signal, CLI, *chosen.command],
                                     cwd=root, capture_output=True, timeout=120, stdin=subprocess.DEVNULL,
                                     env=traced_env())
                self.assertEqual(run.returncode, 1, run.stderr)
                self.assertIn(b"The merge was stopped before it had finished", run.stderr)
                self.assertEqual(run.stderr.count(b"\n"), 1, run.stderr)
                self.assertEqual([folder_state(f) for f in folders], before)
                self.assertEqual(os.listdir(chosen.folders[0]), [], "no temporary file is left")

    def test_copy(self):
        self.check_scenario("copy")

    def test_merge(self):
        self.check_scenario("merge")

    def test_cut_single_part(self):
        self.check_scenario("cut-single")

    def test_cut_two_part(self):
        self.check_scenario("cut-two-part")

    def test_cut_multi_part(self):
        self.check_scenario("cut-multi-part")

    def test_cut_stretches(self):
        self.check_scenario("cut-stretches")

    def test_rename(self):
        self.check_scenario("rename")

    def test_delete(self):
        self.check_scenario("delete")

    def test_create(self):
        self.check_scenario("create")

    def test_undo_of_a_deletion(self):
        self.check_scenario("undo-delete")

    def test_undo_of_a_cut(self):
        self.check_scenario("undo-cut")

    def test_emptying_undo(self):
        self.check_scenario("undo-empty")


def cli_json(args, cwd=None):
    proc = subprocess.run([CLI, *args], cwd=cwd, capture_output=True, timeout=120, stdin=subprocess.DEVNULL)
    return proc, (json.loads(proc.stdout) if proc.returncode == 0 and proc.stdout.strip() else None)


def listed(db):
    proc, out = cli_json(["list", db, "--json"])
    assert proc.returncode == 0, proc.stderr
    return out["records"]


def assert_consistent(test, db, context):
    """check finds nothing wrong: every listed part is there, every part file is listed, nothing left over."""
    proc = subprocess.run([CLI, "check", db], capture_output=True, timeout=120, stdin=subprocess.DEVNULL)
    test.assertEqual(proc.returncode, 0, "%s: %s%s" % (context, proc.stdout.decode(), proc.stderr.decode()))


class RaceTest(unittest.TestCase):
    """Two commands started together on one database. Both must succeed, and the folder must be
    exactly what running them one after the other (in either order) gives: no update is lost, and
    no command reports success for a change that was written over."""

    ROUNDS = int(os.environ.get("VMX_RACE_ROUNDS", "50"))

    def run_race(self, setup, first, second, watched, databases=("DZT000.DB",), rounds=None, stagger=0.0, slow=()):
        """setup(root) makes the folders; first/second(root) give the commands; watched(root) the folder
        compared, whose `databases` are checked after every round. With `stagger` (seconds) the second
        command of round r starts r * stagger after the first, so that the rounds sweep its start over
        the first one's steps; `slow` is put before the first command (strace holding one of its steps)."""
        def fresh():
            root = tempfile.mkdtemp(prefix="vmx-race-")
            self.addCleanup(shutil.rmtree, root, True)
            setup(root)
            return root

        serial = []
        for order in ((first, second), (second, first)):
            root = fresh()
            for command in order:
                proc = subprocess.run([CLI, *command(root)], capture_output=True, timeout=120,
                                      stdin=subprocess.DEVNULL)
                self.assertEqual(proc.returncode, 0, proc.stderr)
            serial.append(folder_state(watched(root)))
        for round_ in range(rounds or self.ROUNDS):
            root = fresh()
            procs = []
            for command in (first, second):
                if procs and stagger:
                    time.sleep(round_ * stagger)
                procs.append(subprocess.Popen([*(() if procs else slow), CLI, *command(root)], stdout=subprocess.DEVNULL,
                                              stderr=subprocess.PIPE, stdin=subprocess.DEVNULL, env=traced_env()))
            results = [(p.wait(timeout=120), p.stderr.read().decode(errors="replace")) for p in procs]
            for p in procs:
                p.stderr.close()
            self.assertEqual([rc for rc, _ in results], [0, 0], "round %d: %s" % (round_, results))
            self.assertIn(folder_state(watched(root)), serial, "round %d" % round_)
            for db in databases:
                assert_consistent(self, os.path.join(watched(root), db), "round %d" % round_)
            shutil.rmtree(root, True)

    @staticmethod
    def three(root):
        make_db(root, [(60, [188 * 300]), (20, [188 * 40]), (40, [188 * 900])])

    def test_rename_and_delete(self):
        self.run_race(self.three, lambda root: ["rename", os.path.join(root, "DZT000.DB"), "1", "Renamed"],
                      lambda root: ["delete", os.path.join(root, "DZT000.DB"), "3"], lambda root: root)

    def test_delete_and_delete(self):
        self.run_race(self.three, lambda root: ["delete", os.path.join(root, "DZT000.DB"), "1"],
                      lambda root: ["delete", os.path.join(root, "DZT000.DB"), "1"], lambda root: root)

    def test_copy_and_cut(self):
        def setup(root):
            make_db(os.path.join(root, "rec"), [(60, [188 * 300]), (20, [188 * 450])])
            make_db(os.path.join(root, "pc"), [(60, [188 * 3700])])

        self.run_race(setup,
                      lambda root: ["copy", os.path.join(root, "rec", "DZT000.DB"), os.path.join(root, "pc", "DZT000.DB"),
                                    "2", "--yes"],
                      lambda root: ["cut", os.path.join(root, "pc", "DZT000.DB"), "1", "10", "20", "--yes"],
                      lambda root: os.path.join(root, "pc"))


    def test_cut_and_copy_into_the_other_database_of_the_folder(self):
        """DZT000.DB and DZR000.DB share one RECORD folder and one space of part names: a multi-part cut
        of a DZT recording (its parts deleted, then renamed into their places) and a copy into DZR000.DB
        never meet. The cut is held for a moment between deleting RF0001AA.TRP and giving that name to
        the part it keeps, which is where a copy into the empty DZR000.DB would take the name."""
        def setup(root):
            rec = os.path.join(root, "RECORD")
            make_db(rec, [FOUR_PARTS, (20, [188 * 450])])
            make_db(rec, [], name="DZR000.DB")
            make_db(os.path.join(root, "src"), [(60, [188 * 600])], name="DZR000.DB")

        slow = ()
        if not strace_usable():
            slow = ("strace", "-f", "-qq", "-o", "/dev/null", "-e", "inject=renameat2:delay_enter=150000:when=1")
        self.run_race(setup,
                      lambda root: ["cut", os.path.join(root, "RECORD", "DZT000.DB"), "1", "0", "240", "--yes"],
                      lambda root: ["copy", os.path.join(root, "src", "DZR000.DB"),
                                    os.path.join(root, "RECORD", "DZR000.DB"), "1", "--yes"],
                      lambda root: os.path.join(root, "RECORD"), databases=("DZT000.DB", "DZR000.DB"),
                      rounds=int(os.environ.get("VMX_RACE_ROUNDS", "30")), stagger=0.006, slow=slow)


class FullDiskTest(unittest.TestCase):
    """Delete and rename on a filesystem with no byte free: both work, and what needs room says why it failed."""

    def setUp(self):
        if os.geteuid() != 0:
            self.skipTest("mounting a small tmpfs needs root")
        self.root = tempfile.mkdtemp(prefix="vmx-full-")
        self.addCleanup(shutil.rmtree, self.root, True)
        mounted = subprocess.run(["mount", "-t", "tmpfs", "-o", "size=4m", "tmpfs", self.root], capture_output=True)
        if mounted.returncode != 0:
            self.skipTest("cannot mount a tmpfs here: " + mounted.stderr.decode(errors="replace").strip())
        self.addCleanup(subprocess.run, ["umount", "-l", self.root], capture_output=True)
        self.db = make_db(self.root, [(60, [188 * 3000]), (20, [188 * 400]), (40, [P, 188 * 20])])
        fd = os.open(os.path.join(self.root, "filler"), os.O_WRONLY | os.O_CREAT, 0o644)
        try:
            while os.write(fd, b"\xa5" * 4096) > 0:
                pass
        except OSError:
            pass
        finally:
            os.close(fd)
        stat = os.statvfs(self.root)
        self.assertEqual(stat.f_bavail, 0, "the disk is full")

    def test_rename_then_delete_on_a_full_disk(self):
        proc = subprocess.run([CLI, "rename", self.db, "2", "Renamed"], capture_output=True, timeout=60)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual([r["name"] for r in listed(self.db)], ["Rec1", "Renamed", "Rec3"])
        proc = subprocess.run([CLI, "delete", self.db, "1"], capture_output=True, timeout=60)
        self.assertEqual(proc.returncode, 0, proc.stderr)
        self.assertEqual([r["name"] for r in listed(self.db)], ["Renamed", "Rec3"])
        self.assertFalse(os.path.exists(os.path.join(self.root, part_name(1, 0).decode())))
        os.remove(os.path.join(self.root, "filler"))
        assert_consistent(self, self.db, "after the full disk")

    def test_a_cut_that_runs_out_of_room_says_so_and_is_finished_later(self):
        """The last part of "Rec3" is sparse: filling its holes with filler packets needs room the
        disk has not got once the database's write is provided for."""
        with open(os.path.join(self.root, "filler"), "r+b") as f:
            f.truncate(os.path.getsize(f.name) - (1 << 20))
        before = listed(self.db)
        proc = subprocess.run([CLI, "cut", self.db, "3", "10", "30", "--yes"], capture_output=True, timeout=60)
        self.assertNotEqual(proc.returncode, 0)
        self.assertIn("No space left on device", proc.stderr.decode())
        self.assertNotIn("파일없음2", proc.stderr.decode())
        self.assertEqual(listed(self.db), before)
        os.remove(os.path.join(self.root, "filler"))
        assert_consistent(self, self.db, "once there is room again")

    def test_copy_onto_a_full_disk_says_why_and_loses_nothing(self):
        other = tempfile.mkdtemp(prefix="vmx-src-")
        self.addCleanup(shutil.rmtree, other, True)
        src = make_db(other, [(30, [188 * 2000])])
        before = folder_state(self.root)
        proc = subprocess.run([CLI, "copy", src, self.db, "1", "--yes"], capture_output=True, timeout=60)
        self.assertNotEqual(proc.returncode, 0)
        self.assertIn("No space left on device", proc.stderr.decode())
        self.assertEqual(folder_state(self.root), before)
        os.remove(os.path.join(self.root, "filler"))
        assert_consistent(self, self.db, "after the failed copy")


def shard(suite, index, count):
    """Every count-th test of the module from the index-th on, so that the runs can go side by side
    (a sanitizer build is slow) and together run every test once."""
    def flat(tests):
        for test in tests:
            yield from flat(test) if isinstance(test, unittest.TestSuite) else [test]
    chosen = sorted(flat(suite), key=lambda t: t.id())[index::count]
    return unittest.TestSuite(chosen)


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    # An optional "N/M" runs the N-th of M shares of the tests (N from 1).
    if len(sys.argv) > 1 and re.fullmatch(r"\d+/\d+", sys.argv[1]):
        n, m = map(int, sys.argv.pop(1).split("/"))
        tests = shard(unittest.defaultTestLoader.loadTestsFromModule(sys.modules[__name__]), n - 1, m)
        sys.exit(0 if unittest.TextTestRunner(verbosity=1).run(tests).wasSuccessful() else 1)
    unittest.main(verbosity=1)
