#!/usr/bin/env python3
"""End-to-end tests of velmorix-cli's database commands on databases built here byte by byte."""
import errno
import hashlib
import json
import os
import pty
import random
import select
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

CLI = None
FULL_PART = 133795840


def image(rec, version):
    """The record image of one record (a dict), as the file holds it."""
    img = bytearray(144)
    struct.pack_into(">H", img, 0, rec["id"])
    img[2:18] = rec["name"]
    struct.pack_into(">HII", img, 18, rec.get("part_count", len(rec["parts"])), rec["start_time"], rec["duration"])
    struct.pack_into(">6H", img, 28, *rec["streams"])
    img[40], img[41] = rec["attr1"], rec["attr2"]
    struct.pack_into(">H", img, 42, rec["attr3"])
    img[44:92] = rec["attr_block"]
    struct.pack_into(">QQQQQ", img, 96, rec["ext_a"], rec["ext_b"], *rec["ext_c"])
    img[136] = rec["ext_d"]
    return bytes(img[: 144 if version >= 5 else 136 if version == 4 else 92])


def encode(version, count, records, header_size=6):
    """File bytes of a database; records maps record index -> record dict."""
    out = bytearray(struct.pack(">HHH", version, header_size, count)) + bytes(506)
    for i in range(200):
        rec = records.get(i)
        if rec is None:
            out += bytes((144 if version >= 5 else 136 if version == 4 else 92) + (1 if version >= 4 else 0))
            continue
        img = image(rec, version)
        out += img
        if version >= 4:
            out.append(sum(img) & 0xFF)
        for p in rec["parts"]:
            out += p
    return bytes(out)


def part_name(slot, j):
    return b"RF%04d%c%c.TRP" % (slot, 65 + j // 26, 65 + j % 26)


def random_record(rng, rec_id, slot, parts):
    return {
        "id": rec_id,
        "name": bytes(rng.randrange(256) for _ in range(16)),
        "start_time": rng.getrandbits(32),
        "duration": rng.getrandbits(32),
        "streams": [rng.getrandbits(16) for _ in range(6)],
        "attr1": rng.randrange(256),
        "attr2": rng.randrange(256),
        "attr3": rng.getrandbits(16),
        "attr_block": bytes(rng.randrange(256) for _ in range(48)),
        "ext_a": rng.getrandbits(64),
        "ext_b": rng.getrandbits(64),
        "ext_c": [rng.getrandbits(64) for _ in range(3)],
        "ext_d": rng.randrange(256),
        "parts": [part_name(slot, j) for j in range(parts)],
    }


def display_name(name):
    text = name[1:]
    end = text.find(b"\0")
    return (text if end < 0 else text[:end]).decode("latin-1")


class CliBase(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="vmx-cli-")
        self.db = os.path.join(self.dir, "DZT000.DB")

    def tearDown(self):
        shutil.rmtree(self.dir, ignore_errors=True)

    def cli(self, *args, expect=0):
        proc = subprocess.run([CLI, *args], capture_output=True, timeout=60)
        self.assertEqual(proc.returncode, expect, proc.stderr.decode(errors="replace"))
        return proc

    def write(self, data, path=None):
        with open(path or self.db, "wb") as f:
            f.write(data)

    def read(self, path=None):
        with open(path or self.db, "rb") as f:
            return f.read()

    def touch_parts(self, rec, sizes=None):
        for j, p in enumerate(rec["parts"]):
            size = sizes[j] if sizes else 1000 + j
            with open(os.path.join(self.dir, p.decode()), "wb") as f:
                f.truncate(size)

    def store_recording(self, stream, duration):
        """The transport stream as recording 1 of the database, in part files of the full part size."""
        rec = random_record(random.Random(7), 1, 1, 0)
        rec["name"] = b"\x05Film\0" + bytes(10)
        rec["duration"] = duration
        with open(stream, "rb") as f:
            data = f.read()
        for j in range(0, len(data), FULL_PART):
            rec["parts"].append(part_name(1, j // FULL_PART))
            with open(os.path.join(self.dir, rec["parts"][-1].decode()), "wb") as out:
                out.write(data[j:j + FULL_PART])
        self.write(encode(5, 1, {0: rec}))
        return rec

    def result(self, *args, expect=0):
        proc = self.cli(*args, "--json", expect=expect)
        if expect:
            self.assertEqual(proc.stdout, b"", "a failure prints no result")
            self.assertEqual(proc.stderr.count(b"\n"), 1, proc.stderr)
            return None
        self.assertEqual(proc.stdout.count(b"\n"), 1, "one object on one line")
        out = json.loads(proc.stdout)
        self.assertEqual(out["command"], args[0] if args[0] != "media" else "media " + args[1])
        self.assertIsInstance(out["seconds"], float)
        self.assertGreaterEqual(out["seconds"], 0)
        for key in ("written", "removed", "warnings", "messages"):
            self.assertIsInstance(out[key], list, key)
        for path in out["written"]:
            self.assertTrue(os.path.exists(path), path)
        for path in out["removed"]:
            # A name a cut renames another part to is removed and written.
            self.assertEqual(os.path.exists(path), path in out["written"], path)
        return out


class CliTest(CliBase):

    def test_every_version_is_listed_as_its_bytes_say(self):
        for version in range(6):
            with self.subTest(version=version):
                rng = random.Random(version)
                records = {}
                ids = list(range(1, 8))
                rng.shuffle(ids)
                for rec_id, index in zip(ids, rng.sample(range(200), 7)):
                    records[index] = random_record(rng, rec_id, index + 1, rng.randrange(4))
                self.write(encode(version, 7, records))
                out = json.loads(self.cli("list", self.db, "--json").stdout)
                self.assertEqual((out["version"], out["header_size"], out["count"]), (version, 6, 7))
                by_id = {r["id"]: (i, r) for i, r in records.items()}
                self.assertEqual([r["id"] for r in out["records"]], list(range(1, 8)))
                for got in out["records"]:
                    index, rec = by_id[got["id"]]
                    # No part file exists, so extA keeps what the file says (versions 0..3: 12 per part).
                    ext_a = rec["ext_a"] if version >= 4 else 12 * len(rec["parts"])
                    want = {
                        "id": rec["id"], "slot": index + 1, "name": display_name(rec["name"]),
                        "name_hex": rec["name"].hex(), "start_time": rec["start_time"],
                        "duration": rec["duration"], "vid": rec["streams"][0], "aid": rec["streams"][1],
                        "pid": rec["streams"][2], "stream_word4": rec["streams"][3],
                        "ecm_pid": rec["streams"][4], "stream_word6": rec["streams"][5],
                        "attr1": rec["attr1"], "attr2": rec["attr2"], "attr3": rec["attr3"],
                        "part_count": len(rec["parts"]), "parts": [p.decode() for p in rec["parts"]],
                        "ext_a": ext_a,
                    }
                    self.assertEqual(got, want)
                shown = json.loads(self.cli("show", self.db, "3", "--json").stdout)
                self.assertEqual(shown, out["records"][2])

    def three_records(self):
        rng = random.Random(7)
        records = {i: random_record(rng, i + 1, i + 1, 2) for i in range(3)}
        for rec in records.values():
            rec["name"] = b"\x05" + rec["name"][1:]
            self.touch_parts(rec, [FULL_PART, 5000])
            rec["ext_a"] = FULL_PART + 5000
        return records

    def test_round_trip_rename_and_delete_give_exact_bytes(self):
        records = self.three_records()
        original = encode(5, 3, records)
        self.write(original)
        records[1]["name"] = records[1]["name"][:1] + b"Kanal Zwei" + bytes(5)
        self.cli("rename", self.db, "2", "Kanal Zwei")
        self.assertEqual(self.read(), encode(5, 3, records))
        self.assertEqual(self.read(os.path.join(self.dir, "DZT000.BAK")), original)

        self.cli("delete", self.db, "1", "3")
        expected = encode(5, 1, {1: dict(records[1], id=1)})
        written = self.read()
        self.assertEqual(written[: len(expected)], expected)
        self.assertEqual(len(written), len(original), "the old tail stays, as with an in-place update")
        left = sorted(f for f in os.listdir(self.dir) if f.endswith(".TRP"))
        self.assertEqual(left, ["RF0002AA.TRP", "RF0002AB.TRP"])

    def test_extA_is_measured_from_the_parts_and_kept_when_a_part_is_missing(self):
        records = self.three_records()
        records[0]["ext_a"] = 1
        records[2]["ext_a"] = 77
        self.write(encode(5, 3, records))
        os.remove(os.path.join(self.dir, "RF0003AB.TRP"))
        self.cli("rename", self.db, "1", "X")
        out = json.loads(self.cli("list", self.db, "--json").stdout)
        self.assertEqual(out["records"][0]["ext_a"], FULL_PART + 5000)
        self.assertEqual(out["records"][2]["ext_a"], 77)

    def test_a_load_opens_the_database_once(self):
        """The folder's tidying, the reading and the checks of a load share one read of the file."""
        self.write(encode(5, 3, self.three_records()))
        trace = os.path.join(self.dir, "trace")
        proc = subprocess.run(["strace", "-f", "-e", "trace=open,openat", "-o", trace, CLI, "list", self.db],
                              capture_output=True, timeout=60, env=untraced_leaks_env())
        self.assertEqual(proc.returncode, 0, proc.stderr)
        with open(trace) as f:
            opens = [line for line in f if '"%s"' % self.db in line]
        self.assertEqual(len(opens), 1, "".join(opens))

    def test_create_and_check(self):
        self.cli("create", self.db)
        self.assertEqual(self.read(), bytes([0, 5, 0, 6, 0, 0]))
        self.cli("create", self.db, expect=1)
        self.cli("check", self.db)
        records = self.three_records()
        records[1]["parts"].append(b"RF0002AC.TRP")
        data = bytearray(encode(5, 3, records))
        data[512 + 145 + 12 * 2 + 5] ^= 0x10  # inside record index 1's image: checksum mismatch
        self.write(bytes(data))
        os.truncate(os.path.join(self.dir, "RF0001AA.TRP"), 10)
        open(os.path.join(self.dir, "RF0042AA.TRP"), "wb").close()
        out = self.cli("check", self.db, expect=1).stdout.decode()
        self.assertIn("record index 1 (offset 681): checksum", out)
        self.assertIn("RF0001AA.TRP holds 10 bytes", out)
        self.assertIn("RF0002AC.TRP is missing", out)
        self.assertIn("RF0042AA.TRP is not named by any recording", out)

    def test_usage_and_failures(self):
        self.cli(expect=2)
        self.cli("list", expect=2)
        self.cli("show", self.db, "abc", expect=2)
        self.cli("show", self.db, "0", expect=2)
        self.cli("list", os.path.join(self.dir, "missing.DB"), expect=1)
        self.cli("list", self.dir, expect=1)
        fifo = os.path.join(self.dir, "fifo.DB")
        os.mkfifo(fifo)
        for command in ("list", "check"):
            proc = self.cli(command, fifo, expect=1)
            self.assertIn(b"not a regular file", proc.stdout + proc.stderr)
        self.cli("create", self.db)
        self.cli("show", self.db, "1", expect=1)
        self.cli("rename", self.db, "1", "x", expect=1)
        proc = self.cli("delete", self.db, "1", expect=1)
        self.assertEqual(proc.stderr.count(b"\n"), 1, "one clear sentence")

    def test_damaged_and_hostile_databases(self):
        rng = random.Random(1)
        victim = os.path.join(self.dir, "outside", "victim")
        os.makedirs(os.path.dirname(victim))
        self.write(b"keep", victim)
        rec_dir = os.path.join(self.dir, "RECORD")
        os.makedirs(rec_dir)
        db = os.path.join(rec_dir, "DZT000.DB")
        evil = random_record(rng, 1, 1, 0)
        evil["parts"] = [b"../outside/v", b"/etc/passwd\0", b".hidden.TRPx"]
        good = random_record(rng, 2, 2, 1)
        samples = [encode(5, 2, {0: evil, 1: good})]
        base = encode(5, 3, self.three_records())
        samples += [base[:n] for n in (0, 3, 6, 100, 600, 700, len(base) - 1)]
        for _ in range(30):
            flipped = bytearray(base)
            for _ in range(rng.randrange(1, 20)):
                flipped[rng.randrange(len(flipped))] ^= 1 << rng.randrange(8)
            samples.append(bytes(flipped))
        samples += [bytes(rng.randrange(256) for _ in range(rng.randrange(2000, 40000))) for _ in range(10)]
        over = self.three_records()
        over[1]["part_count"] = 281
        samples.append(encode(5, 3, over))
        for n, data in enumerate(samples):
            with self.subTest(sample=n):
                self.write(data, db)
                for args in (["list", db, "--json"], ["list", db], ["check", db], ["show", db, "1"],
                             ["rename", db, "1", "n"], ["delete", db, "1"]):
                    proc = subprocess.run([CLI, *args], capture_output=True, timeout=30)
                    self.assertIn(proc.returncode, (0, 1), (args, proc.stderr))
                    if proc.returncode == 1:
                        self.assertTrue(proc.stderr.strip(), "a failure says why")
                    if args[0] == "list" and proc.returncode == 0 and "--json" in args:
                        json.loads(proc.stdout)
                self.assertEqual(self.read(victim), b"keep")
        self.assertTrue(os.path.exists("/etc/passwd"))
        # The hostile record is listed but nothing of it is deleted.
        self.write(samples[0], db)
        out = json.loads(self.cli("list", db, "--json").stdout)
        self.assertEqual(out["records"][0]["parts"][0], "../outside/v")
        err = self.cli("delete", db, "1", expect=1).stderr
        self.assertIn(b'names a part file "../outside/v" that is not a valid part name', err)
        self.assertEqual(err.count(b"\n"), 1, "one line, control bytes escaped")
        self.assertEqual(self.read(db), samples[0])

    def test_a_short_header_is_listed_as_the_file_holds_it(self):
        # Four bytes: version 5 and header size 6; the missing count reads as 0, as the reader reads it.
        self.write(bytes([0, 5, 0, 6]))
        out = json.loads(self.cli("list", self.db, "--json").stdout)
        self.assertEqual((out["version"], out["header_size"], out["count"], out["records"]), (5, 6, 0, []))

    def test_count_281_fails_the_load(self):
        records = self.three_records()
        records[1]["part_count"] = 281
        self.write(encode(5, 3, records))
        err = self.cli("list", self.db, expect=1).stderr
        self.assertIn(b"AVMRec count(281)", err)


class RecordingCommandsTest(CliBase):
    """copy, merge, cut and media from the command line, on small recordings."""

    def recording(self, sizes):
        rng = random.Random(len(sizes))
        rec = random_record(rng, 1, 1, len(sizes))
        rec["name"] = b"\x05Kanal\0" + bytes(9)
        rec["duration"] = 60 * len(sizes)
        for j, size in enumerate(sizes):
            with open(os.path.join(self.dir, rec["parts"][j].decode()), "wb") as f:
                f.write(bytes([(j * 37 + k) & 0xFF for k in range(256)]) * (size // 256) + bytes(size % 256))
        self.write(encode(5, 1, {0: rec}))
        return rec

    def test_merge_joins_the_parts(self):
        rec = self.recording([188 * 1000, 188 * 10 + 7])
        out = os.path.join(self.dir, "out")
        os.mkdir(out)
        self.cli("merge", self.db, "1", out)
        joined = b"".join(self.read(os.path.join(self.dir, p.decode())) for p in rec["parts"])
        self.assertEqual(self.read(os.path.join(out, "[m]Kanal.trp")), joined)
        os.remove(os.path.join(self.dir, rec["parts"][1].decode()))
        err = self.cli("merge", self.db, "1", out, expect=1).stderr
        self.assertIn(rec["parts"][1], err)
        self.assertEqual(self.read(os.path.join(out, "[m]Kanal.trp")), joined, "an earlier result stays")

    def test_copy_registers_the_recording_with_new_part_names(self):
        rec = self.recording([188 * 50])
        target_dir = os.path.join(self.dir, "target")
        os.mkdir(target_dir)
        target = os.path.join(target_dir, "DZT000.DB")
        self.cli("create", target)
        self.cli("copy", self.db, target, "1")
        self.cli("copy", self.db, target, "1")
        out = json.loads(self.cli("list", target, "--json").stdout)
        self.assertEqual([r["parts"] for r in out["records"]], [["RF0001AA.TRP"], ["RF0002AA.TRP"]])
        self.assertEqual(out["records"][1]["name_hex"], rec["name"].hex())
        for name in ("RF0001AA.TRP", "RF0002AA.TRP"):
            self.assertEqual(self.read(os.path.join(target_dir, name)), self.read(os.path.join(self.dir, "RF0001AA.TRP")))
        self.cli("copy", self.db, self.db, "1", expect=1)
        self.cli("copy", self.db, os.path.join(self.dir, "DZR000.DB"), "1", expect=1)

    def test_cut_needs_a_measurable_recording_and_an_answer(self):
        self.recording([188 * 3000])
        before = self.read(os.path.join(self.dir, "RF0001AA.TRP"))
        proc = subprocess.run([CLI, "cut", self.db, "1", "10", "20"], capture_output=True, stdin=subprocess.DEVNULL, timeout=60)
        self.assertEqual(proc.returncode, 1)
        self.assertIn(b"--yes", proc.stderr)
        self.assertEqual(self.read(os.path.join(self.dir, "RF0001AA.TRP")), before)
        self.cli("cut", self.db, "1", "10", "20", "--yes")
        after = self.read(os.path.join(self.dir, "RF0001AA.TRP"))
        self.assertEqual(len(after), len(before))
        self.assertNotEqual(after, before)
        # One part shorter than a full part: about 9,400 bytes a second, so seconds 10..20 are
        # packets 500..1000.
        self.assertEqual(after[188 * 750:188 * 750 + 4], bytes([0x47, 0x5F, 0xFF, 0x30]), "filler in the stretch")
        self.assertEqual(after[: 188 * 490], before[: 188 * 490])
        self.assertEqual(after[188 * 1010:], before[188 * 1010:])
        os.remove(os.path.join(self.dir, "RF0001AA.TRP"))
        self.assertIn(b"last part file is missing", self.cli("cut", self.db, "1", "10", "20", "--yes", expect=1).stderr)

    def test_copy_failure_is_not_introduced_by_the_creation_of_the_target(self):
        rec = self.recording([188 * 50])
        os.remove(os.path.join(self.dir, rec["parts"][0].decode()))
        target = os.path.join(self.dir, "new", "DZT000.DB")
        os.mkdir(os.path.dirname(target))
        proc = self.cli("copy", self.db, target, "1", "--yes", expect=1)
        self.assertIn(b"DB File Creatation complete!", proc.stdout)
        err = proc.stderr.decode()
        self.assertTrue(err.startswith("velmorix-cli copy: Copying failed: "), err)
        self.assertIn("RF0001AA.TRP", err)
        self.assertNotIn("Creatation", err)

    def test_merge_into_an_empty_folder_name_says_so(self):
        self.recording([188 * 50])
        proc = self.cli("merge", self.db, "1", "", expect=2)
        first = proc.stderr.decode().splitlines()[0]
        self.assertGreater(len(first), len("velmorix-cli merge: ") + 10, first)

    def test_sizes_are_labelled_in_the_unit_they_are_computed_in(self):
        self.recording([1048576 * 3 // 2])
        out = self.cli("list", self.db).stdout.decode()
        self.assertIn("1.5 MiB", out)

    def test_progress_line_leaves_nothing_of_a_longer_line_behind(self):
        rec = self.recording([188 * 6000, 188 * 10])
        target_dir = os.path.join(self.dir, "target")
        os.mkdir(target_dir)
        target = os.path.join(target_dir, "DZT000.DB")
        self.cli("create", target)
        master, slave = pty.openpty()
        proc = subprocess.Popen([CLI, "copy", self.db, target, "1"], stdout=subprocess.DEVNULL, stderr=slave)
        os.close(slave)
        drawn = b""
        while True:
            ready, _, _ = select.select([master], [], [], 60)
            if not ready:
                break
            try:
                chunk = os.read(master, 4096)
            except OSError as e:  # the terminal is closed once the program has ended
                if e.errno != errno.EIO:
                    raise
                break
            if not chunk:
                break
            drawn += chunk
        os.close(master)
        self.assertEqual(proc.wait(timeout=60), 0)
        lines = [line for line in drawn.split(b"\r") if b"part" in line]
        self.assertGreater(len(lines), 1, drawn)
        for line in lines:
            self.assertIn(b"\x1b[K", line, "each progress line clears the rest of the old one")

    def test_media_put_and_get(self):
        receiver = os.path.join(self.dir, "disk")
        os.makedirs(os.path.join(receiver, "MP3"))
        song = os.path.join(self.dir, "song one.mp3")
        self.write(b"ID3 tune", song)
        self.cli("media", "put", song, "--receiver", receiver)
        self.assertEqual(self.read(os.path.join(receiver, "MP3", "song one.mp3")), b"ID3 tune")
        listing = self.cli("media", "list", "mp3", "--receiver", receiver).stdout.decode()
        self.assertIn("song one.mp3", listing)
        back = os.path.join(self.dir, "back")
        os.mkdir(back)
        self.cli("media", "get", "song one.mp3", back, "--receiver", receiver)
        self.assertEqual(self.read(os.path.join(back, "song one.mp3")), b"ID3 tune")
        self.write(b"outside", os.path.join(self.dir, "outside.mp3"))
        self.cli("media", "get", "../../outside.mp3", back, "--receiver", receiver, expect=1)
        self.assertFalse(os.path.exists(os.path.join(back, "outside.mp3")))


class JsonResultsTest(CliBase):
    """--json: one object on stdout per command that changes something, the files it wrote and
    removed, and the same bytes on disk as without --json."""

    recording = RecordingCommandsTest.recording

    def twin(self):
        """A copy of the test folder, to do the same without --json."""
        other = tempfile.mkdtemp(prefix="vmx-cli-twin-")
        self.addCleanup(shutil.rmtree, other, True)
        shutil.copytree(self.dir, other, dirs_exist_ok=True)
        return other

    def same_files(self, a, b):
        """The same names and bytes under both folders, the undo folder's included."""
        names = sorted(os.listdir(a))
        self.assertEqual(names, sorted(os.listdir(b)))
        for name in names:
            if os.path.isdir(os.path.join(a, name)):
                self.same_files(os.path.join(a, name), os.path.join(b, name))
            else:
                self.assertEqual(self.read(os.path.join(a, name)), self.read(os.path.join(b, name)), name)

    def test_database_commands(self):
        self.recording([188 * 3000, 188 * 10])
        twin = self.twin()
        plain_db = os.path.join(twin, "DZT000.DB")
        out = self.result("rename", self.db, "1", "Kanal Zwei")
        self.cli("rename", plain_db, "1", "Kanal Zwei")
        self.assertEqual((out["database"], out["id"], out["name"]), (self.db, 1, "Kanal Zwei"))
        self.assertEqual(out["written"], [self.db, os.path.join(self.dir, "DZT000.BAK")])
        self.same_files(self.dir, twin)

        out = self.result("cut", self.db, "1", "10", "20", "--yes")
        self.cli("cut", plain_db, "1", "10", "20", "--yes")
        self.assertEqual((out["kind"], out["start"], out["end"]), ("single-part", 10.0, 20.0))
        self.assertEqual(out["messages"], ["Processing Complete"])
        self.assertIn(os.path.join(self.dir, "RF0001AA.TRP"), out["written"])
        self.same_files(self.dir, twin)

        out = self.result("delete", self.db, "1")
        self.cli("delete", plain_db, "1")
        self.assertEqual(out["ids"], [1])
        self.assertEqual(out["removed"], [os.path.join(self.dir, "RF0001AA.TRP"), os.path.join(self.dir, "RF0001AB.TRP")])
        self.same_files(self.dir, twin)

        created = os.path.join(self.dir, "new", "DZT000.DB")
        os.mkdir(os.path.dirname(created))
        out = self.result("create", created)
        self.assertEqual((out["database"], out["written"]), (created, [created]))
        self.assertEqual(self.read(created), bytes([0, 5, 0, 6, 0, 0]))
        # Failures stay one sentence on stderr, with the same exit status.
        self.result("create", created, expect=1)
        self.result("rename", self.db, "7", "x", expect=1)

    def test_copy_merge_and_a_multi_part_cut(self):
        self.recording([FULL_PART, 188 * 10])
        target = os.path.join(self.dir, "pc", "DZT000.DB")
        os.mkdir(os.path.dirname(target))
        out = self.result("copy", self.db, target, "1", "--yes")
        self.assertTrue(out["created"])
        self.assertEqual(out["messages"], ["DB File Creatation complete!"])
        parts = [os.path.join(self.dir, "pc", n) for n in ("RF0001AA.TRP", "RF0001AB.TRP")]
        self.assertEqual(out["copies"], [{"source_id": 1, "id": 1, "parts": parts}])
        self.assertEqual(out["written"], [target, os.path.join(self.dir, "pc", "DZT000.BAK")] + parts)
        self.assertEqual(self.read(parts[1]), self.read(os.path.join(self.dir, "RF0001AB.TRP")))
        out = self.result("copy", self.db, target, "1")
        self.assertFalse(out["created"])
        self.assertEqual(out["copies"][0]["id"], 2)

        merged_dir = os.path.join(self.dir, "merged")
        os.mkdir(merged_dir)
        out = self.result("merge", self.db, "1", merged_dir)
        merged = os.path.join(merged_dir, "[m]Kanal.trp")
        self.assertEqual(out["written"], [merged])
        self.assertEqual(out["bytes"], FULL_PART + 188 * 10)
        self.assertEqual(out["messages"], ["Merge complete!"])

        # From the start into the second part (119 seconds per full part): the first part goes, the
        # second is trimmed and renamed.
        out = self.result("cut", target, "1", "0", "119", "--yes")
        first, second = parts
        self.assertEqual(out["kind"], "multi-part")
        self.assertEqual(out["removed"], [first])
        self.assertEqual(out["renamed"], [{"from": second, "to": first}])
        self.assertIn(first, out["written"])
        self.assertEqual(out["messages"], ["Processing Complete!"])

    def test_media(self):
        receiver = os.path.join(self.dir, "disk")
        os.mkdir(receiver)
        song = os.path.join(self.dir, "song.mp3")
        picture = os.path.join(self.dir, "card.JPG")
        self.write(b"tune", song)
        self.write(b"picture", picture)
        out = self.result("media", "put", song, picture, "--receiver", receiver)
        self.assertEqual(out["written"], [os.path.join(receiver, "MP3", "song.mp3"),
                                          os.path.join(receiver, "IMAGE", "card.JPG")])
        listing = json.loads(self.cli("media", "list", "image", "--receiver", receiver, "--json").stdout)
        self.assertEqual(listing, {"folder": os.path.join(receiver, "IMAGE"),
                                   "files": [{"number": 1, "name": "card.JPG", "size_kb": 0}]})
        back = os.path.join(self.dir, "back")
        os.mkdir(back)
        out = self.result("media", "get", "song.mp3", back, "--receiver", receiver)
        self.assertEqual((out["written"], out["messages"]), ([os.path.join(back, "song.mp3")], ["Operation Complete"]))
        out = self.result("media", "delete", "song.mp3", "card.JPG", "--receiver", receiver)
        self.assertEqual(out["removed"], [os.path.join(receiver, "MP3", "song.mp3"),
                                          os.path.join(receiver, "IMAGE", "card.JPG")])
        self.result("media", "delete", "song.mp3", "--receiver", receiver, expect=1)



def ffmpeg(*args):
    subprocess.run(["ffmpeg", "-nostdin", "-y", "-v", "error", *args], check=True, timeout=300)


def video_packets(path):
    """(pts, is key frame) of every video packet of a transport stream, in stream order."""
    out = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                          "packet=pts,flags", "-of", "json", path], capture_output=True, check=True, timeout=120)
    return [(int(p["pts"]), "K" in p["flags"]) for p in json.loads(out.stdout)["packets"] if "pts" in p]


class PreciseCutTest(CliBase):
    """Cuts of recordings made by ffmpeg, read back with ffprobe: the pictures between the key frames
    the marks moved to are gone, every other picture is kept, and the picture after the cut is a key
    frame."""

    MPEG2 = ["-c:v", "mpeg2video", "-g", "12", "-q:v", "4"]
    H264 = ["-c:v", "libx264", "-preset", "ultrafast", "-g", "25", "-keyint_min", "25", "-sc_threshold", "0",
            "-bf", "2"]

    def make_recording(self, codec, still, busy, size, extra):
        """A recording whose first `still` seconds show a still picture and the next `busy` seconds
        noise (a variable byte rate), split into part files of the receiver's full part size."""
        stream = os.path.join(self.dir, "stream.ts")
        total = still + busy
        ffmpeg("-f", "lavfi", "-i", f"color=c=gray:s={size}:r=25:d={still}",
               "-f", "lavfi", "-i", f"testsrc2=s={size}:r=25:d={busy}",
               "-f", "lavfi", "-i", f"sine=frequency=440:sample_rate=48000:d={total}",
               "-filter_complex", "[1:v]noise=alls=60:allf=t[b];[0:v][b]concat=n=2:v=1[v]",
               "-map", "[v]", "-map", "2:a", *codec, "-c:a", "mp2", *extra, "-f", "mpegts", stream)
        return stream, self.store_recording(stream, total)

    def joined(self, names):
        path = os.path.join(self.dir, "joined.ts")
        with open(path, "wb") as out:
            for name in names:
                out.write(self.read(os.path.join(self.dir, name)))
        return path

    def test_cut_lands_on_the_key_frames_after_the_marks(self):
        cases = [
            # name, codec, still s, busy s, size, extra ffmpeg arguments, stretches (seconds), parts before
            ("mpeg2 still then busy", self.MPEG2, 30, 30, "352x288", [], [(10, 20)], 1),
            ("h264 still then busy", self.H264, 30, 30, "352x288", [], [(10, 20)], 1),
            ("two stretches", self.MPEG2, 10, 20, "352x288", [], [(3.3, 5.1), (12.6, 20)], 1),
            # The timestamps wrap round 2^33 ticks 9.7 s into the recording.
            ("wrap inside the stretch", self.MPEG2, 10, 10, "352x288", ["-output_ts_offset", "95434"], [(5, 15)], 1),
            ("across a part boundary", self.MPEG2, 4, 12, "720x576", ["-q:v", "1", "-qmin", "1"], [(6, 14)], 2),
        ]
        for name, codec, still, busy, size, extra, stretches, part_count in cases:
            with self.subTest(name):
                shutil.rmtree(self.dir)  # the last case's files and what undo kept of its cut
                os.mkdir(self.dir)
                stream, rec = self.make_recording(codec, still, busy, size, extra)
                self.assertEqual(len(rec["parts"]), part_count)
                before = video_packets(stream)
                first = min(pts for pts, _ in before[:8])
                marks = [str(t) for stretch in stretches for t in stretch]
                plan = self.result("cut", self.db, "1", *marks, "--dry-run")
                self.assertEqual(plan["written"], [])
                out = self.result("cut", self.db, "1", *marks, "--yes")
                self.assertEqual(out["stretches"], plan["stretches"])
                names = sorted(n for n in os.listdir(self.dir) if n.endswith(".TRP"))
                after = video_packets(self.joined(names))
                ticks = lambda seconds: round(seconds * 90000)
                near = 900  # the JSON's times are rounded to the millisecond; a picture lasts 3600 ticks
                removed = set()
                for marked, cut in zip(stretches, out["stretches"]):
                    # The cut lands on key frames at or after the marks, within a group of pictures.
                    self.assertTrue(cut["start_by_clock"] and cut["end_by_clock"])
                    self.assertGreaterEqual(cut["start"], marked[0] - 0.001)
                    self.assertLess(cut["start"], marked[0] + 1.01)
                    self.assertGreaterEqual(cut["end"], marked[1] - 0.001)
                    lo, hi = ticks(cut["start"]), ticks(cut["end"])
                    gone = {pts for pts, _ in before if lo - near <= (pts - first) % 2**33 < hi - near}
                    removed |= gone
                    # The picture after the cut is a key frame, at the time the cut says.
                    following = [(pts, key) for pts, key in after if (pts - first) % 2**33 >= hi - near]
                    self.assertTrue(following[0][1], name)
                    self.assertLessEqual(abs((following[0][0] - first) % 2**33 - hi), near)
                self.assertEqual([pts for pts, _ in after], [pts for pts, _ in before if pts not in removed])
                self.assertEqual(self.cli("check", self.db).returncode, 0)

def fnv1a64(data):
    h = 14695981039346656037
    for b in data:
        h = ((h ^ b) * 1099511628211) & 0xFFFFFFFFFFFFFFFF
    return h


def manifest_fields(data):
    """Offsets in an undo manifest of what UndoTest tampers with: the database's name, each kept part
    (name, then size) and each packet range (part, offset, length, where kept)."""
    be16 = lambda at: struct.unpack(">H", data[at:at + 2])[0]  # noqa: E731
    record_fields = 131  # name ... partCount, then 12 bytes per part name

    def after_record(at):
        return at + record_fields + 12 * be16(at + record_fields - 2)

    pos = 11
    db = (pos + 1, data[pos])
    pos += 1 + data[pos]
    count = be16(pos)
    pos += 2
    for _ in range(count):
        pos = after_record(pos + 4)
    if data[8] == 2:
        pos = after_record(pos)
    parts = [pos + 2 + 20 * i for i in range(be16(pos))]
    pos += 2 + 20 * len(parts)
    ranges = [pos + 2 + 36 * i for i in range(be16(pos))]
    return db, parts, ranges


def resealed(data):
    return data[:-8] + fnv1a64(data[:-8]).to_bytes(8, "big")


class UndoTest(CliBase):
    """Deletions and cuts of the demo disk taken back with undo, done again with redo, and manifests
    that were tampered with."""

    @classmethod
    def setUpClass(cls):
        cls.demo = tempfile.mkdtemp(prefix="vmx-undo-demo-")
        subprocess.run([CLI, "demo", cls.demo], check=True, capture_output=True, timeout=120)

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.demo, ignore_errors=True)

    def fresh(self):
        shutil.rmtree(self.dir)
        shutil.copytree(os.path.join(self.demo, "RECORD"), self.dir)

    def state(self, undo=False):
        """The database and every part file by content; with `undo` the undo folder's files too."""
        files = {}
        for top, dirs, names in os.walk(self.dir):
            for name in names:
                path = os.path.join(top, name)
                rel = os.path.relpath(path, self.dir)
                if rel.endswith(".BAK") or (rel.startswith(".velmorix-undo") and not undo):
                    continue
                files[rel] = hashlib.sha1(self.read(path)).hexdigest()
        return files

    def entry(self):
        (entry,) = os.listdir(os.path.join(self.dir, ".velmorix-undo", "DZT000.DB"))
        return os.path.join(self.dir, ".velmorix-undo", "DZT000.DB", entry)

    def test_undo_gives_back_every_byte_and_redo_the_first_result(self):
        # "Sports HD" has two parts of 40 seconds: a cut within one, across both, of the whole first
        # one, and of two stretches.
        for op in (["delete", "2"], ["delete", "1", "3"], ["cut", "2", "30", "33", "--yes"],
                   ["cut", "2", "38", "42", "--yes"], ["cut", "2", "0", "42", "--yes"],
                   ["cut", "2", "10", "12", "38", "42", "--yes"]):
            with self.subTest(op=op):
                self.fresh()
                before = self.state()
                done = self.cli(op[0], self.db, *op[1:])
                self.assertIn(b"velmorix-cli undo " + self.db.encode(), done.stdout)
                after = self.state()
                self.assertNotEqual(before, after)
                self.cli("check", self.db)
                self.cli("undo", self.db)
                self.assertEqual(self.state(), before)
                self.cli("check", self.db)
                self.cli("undo", self.db, expect=1)  # nothing more to take back
                self.cli("redo", self.db)
                self.assertEqual(self.state(), after)
                self.cli("undo", self.db)
                self.cli("undo", "--empty", self.db)
                self.assertEqual(self.state(undo=True), before, "nothing of undo is left on the disk")
                self.cli("check", self.db)

    def test_a_tampered_manifest_touches_nothing(self):
        def rename_part(to):
            return lambda d, f: d[:f[1][0]] + to + d[f[1][0] + 12:]

        cases = [
            ("delete", "a flipped byte", lambda d, f: d[:30] + bytes([d[30] ^ 1]) + d[31:], False, "damaged"),
            ("delete", "another database's", lambda d, f: d[:f[0][0]] + b"DZR000.DB" + d[f[0][0] + 9:], True,
             "of the database DZR000.DB"),
            ("delete", "a part of another recording", rename_part(b"RF0001AA.TRP"), True, "none of its recordings"),
            ("delete", "a size the kept part has not",
             lambda d, f: d[:f[1][0] + 12] + (struct.unpack(">Q", d[f[1][0] + 12:f[1][0] + 20])[0] + 1).to_bytes(8, "big")
             + d[f[1][0] + 20:], True, "not the file its manifest describes"),
            ("cut", "packets over bytes the cut kept", lambda d, f: d[:f[2][0] + 12] + bytes(8) + d[f[2][0] + 20:], True,
             "not the ones the cut replaced"),
            ("cut", "packets into another recording", lambda d, f: d[:f[2][0]] + b"RF0001AA.TRP" + d[f[2][0] + 12:],
             True, "not a part of the recording"),
        ]
        for op, what, tamper, reseal, said in cases:
            with self.subTest(op=op, tampered=what):
                self.fresh()
                self.cli(*(["delete", self.db, "2"] if op == "delete" else ["cut", self.db, "2", "38", "42", "--yes"]))
                manifest = os.path.join(self.entry(), "manifest")
                data = self.read(manifest)
                data = tamper(data, manifest_fields(data))
                self.write(resealed(data) if reseal else data, manifest)
                before = self.state(undo=True)
                refused = self.cli("undo", self.db, expect=1)
                self.assertIn(said, refused.stderr.decode())
                self.assertEqual(self.state(undo=True), before)


class ExportTest(CliBase):
    """A recording of the demo disk exported without re-encoding, read back with ffprobe."""

    def probe(self, path):
        out = subprocess.run(["ffprobe", "-v", "error", "-count_packets", "-show_entries",
                              "stream=codec_type,nb_read_packets:format=duration", "-of", "json", path],
                             capture_output=True, check=True, timeout=120).stdout
        data = json.loads(out)
        video = [int(s["nb_read_packets"]) for s in data["streams"] if s["codec_type"] == "video"]
        return video[0], float(data["format"].get("duration", "nan"))

    def joined(self, names):
        path = os.path.join(self.dir, "joined.ts")
        with open(path, "wb") as out:
            for name in names:
                out.write(self.read(os.path.join(self.dir, "RECORD", name)))
        return path

    def test_mkv_and_mp4_hold_every_video_packet_and_no_filler(self):
        demo = os.path.join(self.dir, "demo")
        subprocess.run([CLI, "demo", demo], check=True, capture_output=True, timeout=120)
        shutil.move(os.path.join(demo, "RECORD"), os.path.join(self.dir, "RECORD"))
        db = os.path.join(self.dir, "RECORD", "DZT000.DB")
        out = os.path.join(self.dir, "out")
        os.mkdir(out)
        parts = ["RF0002AA.TRP", "RF0002AB.TRP"]  # "Sports HD", two parts
        packets, _ = self.probe(self.joined(parts))
        for fmt in ("mkv", "mp4"):
            with self.subTest(format=fmt):
                result = self.result("export", db, "2", out, "--format", fmt)
                (path,) = result["written"]
                self.assertEqual(os.path.basename(path), "Sports HD." + fmt)
                got, duration = self.probe(path)
                self.assertEqual(got, packets)
                self.assertAlmostEqual(duration, 80, delta=2)
        with self.subTest(encode="h264"):
            result = self.result("export", db, "2", out, "--format", "mp4", "--encode", "h264", "--size", "320x180")
            probe = subprocess.run(["ffprobe", "-v", "error", "-show_entries",
                                    "stream=codec_name,width,height:format=duration", "-of", "json",
                                    result["written"][0]], capture_output=True, check=True, timeout=120).stdout
            data = json.loads(probe)
            self.assertEqual([(s["codec_name"], s.get("width"), s.get("height")) for s in data["streams"]],
                             [("h264", 320, 180), ("aac", None, None)])
            self.assertAlmostEqual(float(data["format"]["duration"]), 80, delta=2)
        # A second export of the same recording gets a name of its own.
        again = self.result("export", db, "2", out)
        self.assertEqual(os.path.basename(again["written"][0]), "Sports HD (2).mkv")
        # A part that cannot be read in one stretch (four reads of the export fail): the rest is
        # exported and the stretch is said.
        damaged = subprocess.run(["strace", "-f", "-o", "/dev/null", "-e", "trace=pread64", "-e",
                                  "inject=pread64:error=EIO:when=500..503", CLI, "export", db, "2", out, "--json"],
                                 capture_output=True, timeout=120, env=untraced_leaks_env())
        self.assertEqual(damaged.returncode, 0, damaged.stderr)
        said = json.loads(damaged.stdout)
        self.assertTrue(any("could not be read" in w for w in said["warnings"]), said)
        self.assertLess(packets - 10, self.probe(said["written"][0])[0])
        self.assertLess(self.probe(said["written"][0])[0], packets)
        # Onto a disk that runs out of room midway: it says why and leaves nothing behind.
        small = os.path.join(self.dir, "small")
        os.mkdir(small)
        if os.geteuid() == 0 and subprocess.run(["mount", "-t", "tmpfs", "-o", "size=2m", "tmpfs", small]).returncode == 0:
            self.addCleanup(subprocess.run, ["umount", "-l", small])
            full = subprocess.run([CLI, "export", db, "2", small], capture_output=True, timeout=120)
            self.assertEqual(full.returncode, 1, full.stderr)
            self.assertIn(b"No space left on device", full.stderr)
            self.assertEqual(os.listdir(small), [])
        # After a cut, the filler that stands in place of the cut stretch is in no stream.
        self.cli("cut", db, "2", "30", "33", "--yes", "--no-undo")
        cut_packets, _ = self.probe(self.joined(parts))
        path = self.result("export", db, "2", out)["written"][0]
        self.assertEqual(self.probe(path)[0], cut_packets)
        self.assertLess(cut_packets, packets)
        self.assertNotIn(b"\x47\x5f\xff\x30\xaa", self.read(path))
        self.assertEqual([n for n in os.listdir(out) if n.startswith(".")], [], "no temporary file is left")

    def test_an_export_without_its_module_fails_and_says_so(self):
        """Without the export module beside the program (lib/velmorix/modules/export.so from its
        bin/), or with a broken one, the export fails with a message that says so, and leaves
        nothing."""
        demo = os.path.join(self.dir, "demo")
        subprocess.run([CLI, "demo", demo], check=True, capture_output=True, timeout=120)
        db = os.path.join(demo, "RECORD", "DZT000.DB")
        bin_dir = os.path.join(self.dir, "copy", "bin")
        module = os.path.join(self.dir, "copy", "lib", "velmorix", "modules", "export.so")
        os.makedirs(bin_dir)
        os.makedirs(os.path.dirname(module))
        shutil.copy(CLI, bin_dir)
        out = os.path.join(self.dir, "out")
        os.mkdir(out)
        for case, content in (("missing", None), ("broken", b"not a shared object")):
            with self.subTest(module=case):
                if content is not None:
                    with open(module, "wb") as f:
                        f.write(content)
                proc = subprocess.run([os.path.join(bin_dir, os.path.basename(CLI)), "export", db, "2", out],
                                      capture_output=True, timeout=120)
                self.assertEqual(proc.returncode, 1, proc.stderr)
                self.assertIn(b"the export module " + module.encode() + b" cannot be loaded", proc.stderr)
                self.assertEqual(os.listdir(out), [])


class AdsTest(CliBase):
    """Blocks of advertising found in recordings made by ffmpeg, written as an EDL and cut by it."""

    def make_recording(self, segments):
        """A recording of segments (colour, tone in Hz or 0 for silence, seconds, logo shown): black
        segments are plain, the others move (noise); a logo is a box in the top right corner."""
        stream = os.path.join(self.dir, "stream.ts")
        inputs, chains, labels = [], [], ""
        for i, (color, tone, seconds, logo) in enumerate(segments):
            inputs += ["-f", "lavfi", "-i", f"color=c={color}:s=352x288:r=25:d={seconds}",
                       "-f", "lavfi", "-i", f"sine=f={tone}:r=48000:d={seconds}" if tone
                       else f"anullsrc=r=48000:cl=mono:d={seconds}"]
            video = f"[{2 * i}:v]" + ("null" if color == "black" else "noise=alls=40:allf=t")
            if logo:
                video += (",drawbox=x=iw-70:y=12:w=50:h=30:color=white:t=fill"
                          ",drawbox=x=iw-60:y=20:w=30:h=14:color=black:t=fill")
            chains.append(f"{video}[v{i}]")
            labels += f"[v{i}][{2 * i + 1}:a]"
        graph = ";".join(chains) + f";{labels}concat=n={len(segments)}:v=1:a=1[v][a]"
        ffmpeg(*inputs, "-filter_complex", graph, "-map", "[v]", "-map", "[a]", "-c:v", "mpeg2video", "-g", "12",
               "-q:v", "16", "-c:a", "mp2", "-f", "mpegts", stream)
        self.store_recording(stream, round(sum(segment[2] for segment in segments)))

    def test_one_block_proposed_written_as_edl_and_cut_by_it(self):
        cases = [
            # name, segments, the block's start and end (seconds)
            ("black and silence around the block",
             [("gray", 440, 20, False), ("black", 0, 0.5, False), ("0x3070b0", 1000, 20, False),
              ("black", 0, 0.5, False), ("gray", 440, 30, False)], 20.25, 40.75),
            ("the logo gone during the block",
             [("gray", 440, 20, True), ("0x3070b0", 1000, 20, False), ("gray", 440, 30, True)], 20, 40),
        ]
        for name, segments, start, end in cases:
            with self.subTest(name):
                shutil.rmtree(self.dir)
                os.mkdir(self.dir)
                self.make_recording(segments)
                edl = os.path.join(self.dir, "ads.edl")
                files = {n: self.read(os.path.join(self.dir, n)) for n in os.listdir(self.dir)}
                out = self.result("ads", self.db, "1", "--edl", edl)
                self.assertEqual({n: self.read(os.path.join(self.dir, n)) for n in os.listdir(self.dir) if n != "ads.edl"},
                                 files, "nothing but the EDL is written")
                self.assertEqual(len(out["stretches"]), 1, out)
                block = out["stretches"][0]
                self.assertLess(abs(block["start"] - start), 1.5, block)
                self.assertLess(abs(block["end"] - end), 1.5, block)
                self.assertEqual(out["written"], [edl])
                with open(edl) as f:
                    self.assertEqual(f.read(), f"{block['start']:.3f} {block['end']:.3f} 3\n")
        # A part that cannot be read in one stretch (four reads fail): the rest is analysed and the
        # stretch is said.
        damaged = subprocess.run(["strace", "-f", "-o", "/dev/null", "-e", "trace=pread64", "-e",
                                  "inject=pread64:error=EIO:when=100..103", CLI, "ads", self.db, "1", "--json"],
                                 capture_output=True, timeout=120, env=untraced_leaks_env())
        self.assertEqual(damaged.returncode, 0, damaged.stderr)
        said = json.loads(damaged.stdout)
        self.assertTrue(any("could not be read" in w for w in said["warnings"]), said)
        self.assertEqual(len(said["stretches"]), 1, said)
        # The last recording cut by the EDL and, in a copy, by the stretch the command gave:
        # the same part files and database.
        twin = self.dir + "-twin"
        shutil.copytree(self.dir, twin)
        self.addCleanup(shutil.rmtree, twin, True)
        by_edl = self.result("cut", self.db, "1", "--edl", edl, "--yes", "--no-undo")
        by_marks = self.result("cut", os.path.join(twin, "DZT000.DB"), "1", str(block["start"]), str(block["end"]),
                               "--yes", "--no-undo")
        for stretch in by_edl["stretches"] + by_marks["stretches"]:
            for part in stretch["parts"]:
                part["file"] = os.path.basename(part["file"])
        self.assertEqual(by_edl["stretches"], by_marks["stretches"])
        for file in sorted(n for n in os.listdir(self.dir) if n.endswith((".TRP", ".DB"))):
            self.assertEqual(self.read(os.path.join(self.dir, file)), self.read(os.path.join(twin, file)), file)
        # A damaged EDL is named by its line and nothing is cut; a missing part file is named.
        with open(edl, "w") as f:
            f.write("# blocks\n10 20 3\n30 oops 3\n")
        before = self.read()
        proc = self.cli("cut", self.db, "1", "--edl", edl, "--yes", expect=1)
        self.assertIn(b"line 3: \"oops\" is not a number of seconds", proc.stderr)
        self.assertEqual(self.read(), before)
        os.remove(os.path.join(self.dir, "RF0001AA.TRP"))
        proc = self.cli("ads", self.db, "1", expect=1)
        self.assertIn(b"RF0001AA.TRP", proc.stderr)


def untraced_leaks_env():
    """LeakSanitizer cannot run under ptrace (strace); a sanitizer build then checks everything else."""
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "detect_leaks=0"]))
    return env


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    unittest.main(verbosity=1)
