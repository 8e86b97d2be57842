#!/usr/bin/env python3
"""velmorix-cli on the file systems a receiver's disk comes with, mounted as Linux mounts them.

For each file system of FILE_SYSTEMS a small image is formatted and mounted, the demo receiver
disk is copied onto it, and every core operation runs there: rename, copies between databases of
the disk (DZT and DZR), the three cut shapes, merge, export, delete, undo and redo of a cut and of the
deletion, emptying the undo folder (after which no hidden undo folder is left), and the media
commands. The same operations run once on a folder of the local disk, the reference. After each
step every database of the disk passes `check`, its listing, the files of the disk with their
sizes and the bytes of the files the step wrote are those of the reference; at the end every byte
of the disk is.

A file system whose tools, /dev/fuse or loop devices are missing, or that cannot be mounted for
lack of permission, is skipped with the reason; the kernel's vfat is skipped wherever it does not
mount. Exit status 77 when every file system was skipped.
"""
import hashlib
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

CLI = None
IMAGE_SIZE = 512 << 20
INSTALL_HINT = "scripts/install-deps.sh installs it"


class FileSystem:
    def __init__(self, name, tools, mkfs, mount, loop=False, fuse=True):
        self.name, self.tools, self.mkfs, self.mount = name, tools, mkfs, mount
        self.loop = loop  # mounted from a loop device (DEVICE in the mount command) instead of the image
        self.fuse = fuse


FILE_SYSTEMS = [
    FileSystem("fat32_fusefat", ["mkfs.vfat", "fusefat", "fusermount"],
               ["mkfs.vfat", "-F", "32", "IMAGE"], ["fusefat", "-o", "rw+", "IMAGE", "DIR"]),
    FileSystem("exfat_fuse", ["mkfs.exfat", "mount.exfat-fuse", "losetup", "fusermount"],
               ["mkfs.exfat", "IMAGE"], ["mount.exfat-fuse", "DEVICE", "DIR"], loop=True),
    FileSystem("ntfs_3g", ["mkntfs", "ntfs-3g", "fusermount"],
               ["mkntfs", "-F", "-Q", "IMAGE"], ["ntfs-3g", "IMAGE", "DIR"]),
    # The kernel's own driver, as a reference for FAT32 where the kernel has it.
    FileSystem("vfat_kernel", ["mkfs.vfat", "losetup", "mount", "umount"],
               ["mkfs.vfat", "-F", "32", "IMAGE"], ["mount", "-t", "vfat", "DEVICE", "DIR"], loop=True, fuse=False),
]


def run(args, timeout=120):
    return subprocess.run(args, capture_output=True, timeout=timeout, stdin=subprocess.DEVNULL)


def said(proc):
    """The first line a failed command printed."""
    lines = (proc.stderr or proc.stdout).decode(errors="replace").strip().splitlines()
    return lines[0].strip() if lines else "exit status %d" % proc.returncode


class Mounted:
    """The image of `fs` under `work`, formatted and mounted at self.dir; unmounted and detached by
    close(), which every path out of the test reaches."""

    def __init__(self, test, fs, work):
        self.test, self.fs = test, fs
        self.image = os.path.join(work, fs.name + ".img")
        self.dir = os.path.join(work, fs.name)
        self.device = None
        self.is_mounted = False
        os.mkdir(self.dir)
        with open(self.image, "wb") as f:
            f.truncate(IMAGE_SIZE)

    def open(self):
        for tool in self.fs.tools:
            if not shutil.which(tool):
                self.test.skipTest("%s is not installed (%s)" % (tool, INSTALL_HINT))
        if self.fs.fuse and not os.access("/dev/fuse", os.R_OK | os.W_OK):
            self.test.skipTest("/dev/fuse is missing or not usable by this user")
        made = run([self.image if a == "IMAGE" else a for a in self.fs.mkfs])
        self.test.assertEqual(made.returncode, 0, "%s: %s" % (self.fs.mkfs[0], said(made)))
        if self.fs.loop:
            attached = run(["losetup", "-f", "--show", self.image])
            if attached.returncode != 0:
                self.test.skipTest("no loop device can be attached here: " + said(attached))
            self.device = attached.stdout.decode().strip()
        args = [{"IMAGE": self.image, "DEVICE": self.device, "DIR": self.dir}.get(a, a) for a in self.fs.mount]
        mounted = run(args)
        if mounted.returncode != 0 or not os.path.ismount(self.dir):
            why = said(mounted)
            denied = any(w in why.lower() for w in ("permission denied", "not permitted", "superuser"))
            if not self.fs.fuse or denied or os.geteuid() != 0:
                self.test.skipTest("%s cannot be mounted here: %s" % (self.fs.name, why))
            self.test.fail("%s failed: %s" % (" ".join(args), why))
        self.is_mounted = True

    def close(self):
        try:
            if self.is_mounted:
                for command in (["fusermount", "-u"] if self.fs.fuse else [], ["umount"], ["umount", "-l"]):
                    if command and run(command + [self.dir]).returncode == 0:
                        break
                    time.sleep(0.5)
        finally:
            if self.device:
                run(["losetup", "-d", self.device])


def digest(path):
    """Size and hash of a file's bytes."""
    with open(path, "rb") as f:
        return os.fstat(f.fileno()).st_size, hashlib.file_digest(f, "sha1").hexdigest()


def relative(value, roots):
    """`value` (observations of a step) with the paths under each root written from the root's
    name, and the characters above 0x7F as '_': the merged file keeps the bytes of the recording's
    name above 0x7F only on a disk that takes them."""
    if isinstance(value, str):
        for name, root in roots.items():
            if value == root or value.startswith(root + "/"):
                value = name + value[len(root):]
                break
        return "".join(c if c < "\x80" else "_" for c in value)
    if isinstance(value, list):
        return [relative(v, roots) for v in value]
    if isinstance(value, dict):
        return {relative(k, roots): relative(v, roots) for k, v in value.items() if k != "seconds"}
    return value


def files(root):
    """Every file under `root` (relative path -> size)."""
    found = {}
    for folder, _, names in os.walk(root):
        for name in names:
            path = os.path.join(folder, name)
            found[os.path.relpath(path, root)] = os.path.getsize(path)
    return found


def put_files(source, disk):
    """Copies the files of `source` into `disk`, bytes only: FAT takes no owners or modes."""
    for path in files(source):
        os.makedirs(os.path.dirname(os.path.join(disk, path)), exist_ok=True)
        shutil.copyfile(os.path.join(source, path), os.path.join(disk, path))


class FileSystemsTest(unittest.TestCase):
    maxDiff = 8000
    reference = None  # (demo disk folder, observations, digests of every file at the end) of the local run

    def cli(self, *args):
        proc = run([CLI, *args])
        self.assertEqual(proc.returncode, 0, "%s: %s" % (" ".join(args), proc.stderr.decode(errors="replace")))
        return proc

    def play(self, disk, pc):
        """Runs the operations on the receiver disk `disk`, with `pc` for the PC's folder. Returns one
        observation per step and the digests of every file of the disk at the end."""
        roots = {"<disk>": disk, "<pc>": pc}
        rec = os.path.join(disk, "RECORD", "DZT000.DB")
        dzr = os.path.join(disk, "RECORD", "DZR000.DB")
        other = os.path.join(disk, "PC", "DZT000.DB")
        dzr_source = os.path.join(disk, "DZRSRC", "DZR000.DB")
        databases = [rec, dzr, other, dzr_source]
        observations = []

        def step(*args):
            result = json.loads(self.cli(*args, "--json").stdout)
            # The JSON gives each byte above 0x7F as \u00XX; the paths are compared as the disk's
            # listing gives them, a UTF-8 character as one.
            result["written"] = [os.fsdecode(path.encode("latin-1")) for path in result["written"]]
            seen = {"step": list(args), "result": result, "lists": {}, "written": {},
                    "files": {os.path.join(disk, path): size for path, size in files(disk).items()}}
            for db in filter(os.path.exists, databases):
                checked = self.cli("check", db).stdout.decode()
                self.assertIn("no problems found", checked, "%s after %s" % (db, args))
                seen["lists"][db] = json.loads(self.cli("list", db, "--json").stdout)
            for path in result["written"]:
                if os.path.exists(path):
                    seen["written"][path] = digest(path)
            observations.append(relative(seen, roots))

        def undo_and_redo():
            """Takes back the last step and does it again: the listings and the user's files go back to
            those before the step, then to those after it."""
            def user_side(seen):
                return seen["lists"], {p: n for p, n in seen["files"].items() if "/.velmorix-undo/" not in p}
            before, after = user_side(observations[-2]), user_side(observations[-1])
            step("undo", rec)
            self.assertEqual(user_side(observations[-1]), before, "undo of %s" % observations[-2]["step"])
            step("redo", rec)
            self.assertEqual(user_side(observations[-1]), after, "redo of %s" % observations[-3]["step"])

        # A name in the receiver's 8-bit code (EUC-KR) with a character FAT cannot hold.
        step("rename", rec, "2", os.fsdecode(b"\xb4\xba\xbd\xba: Live"))
        os.mkdir(os.path.join(disk, "PC"))
        step("create", other)
        step("copy", rec, other, "1")
        # A DZR database of another folder: the bytes of the one above, under the other kind's name.
        os.mkdir(os.path.dirname(dzr_source))
        for name in ("DZT000.DB", "RF0001AA.TRP"):
            shutil.copyfile(os.path.join(disk, "PC", name),
                            os.path.join(os.path.dirname(dzr_source), name.replace("DZT", "DZR")))
        step("copy", rec, other, "2")   # a full part and a second one
        step("copy", other, rec, "1")   # back, under new part names
        step("create", dzr)
        step("copy", dzr_source, dzr, "1")  # into the RECORD folder the DZT database shares
        step("cut", rec, "2", "60", "72", "--yes")
        step("cut", rec, "2", "0", "70", "--yes")
        step("cut", rec, "1", "3", "6", "--yes")
        undo_and_redo()  # the replaced packets written back from the undo folder
        os.mkdir(os.path.join(disk, "out"))
        step("merge", rec, "2", os.path.join(disk, "out"))
        step("export", rec, "2", os.path.join(disk, "out"))
        step("delete", rec, "3")
        undo_and_redo()  # the part files renamed back out of the hidden undo folder
        song, card, back = (os.path.join(pc, n) for n in ("song.mp3", "card.JPG", "back"))
        with open(song, "wb") as f:
            f.write(b"ID3 tune" * 1000)
        with open(card, "wb") as f:
            f.write(b"\xff\xd8 picture")
        os.mkdir(back)
        step("media", "put", song, card, "--receiver", disk)
        step("media", "get", "song.mp3", back, "--receiver", disk)
        step("media", "delete", "song.mp3", "card.JPG", "--receiver", disk)
        step("undo", rec, "--empty")
        self.assertEqual([f for f in os.listdir(os.path.join(disk, "RECORD")) if f.startswith(".velmorix")], [],
                         "what undo kept is left after emptying it")
        return observations, relative({path: digest(os.path.join(disk, path)) for path in files(disk)}, {})

    @classmethod
    def tearDownClass(cls):
        if cls.reference:
            shutil.rmtree(cls.reference[0], ignore_errors=True)

    def reference_run(self):
        """The demo disk (a folder kept for the class), and the observations of the run on a copy."""
        if FileSystemsTest.reference is None:
            template = tempfile.mkdtemp(prefix="vmx-fs-demo-")
            work = tempfile.mkdtemp(prefix="vmx-fs-ref-")
            try:
                self.cli("demo", template)
                disk, pc = os.path.join(work, "disk"), os.path.join(work, "pc")
                os.mkdir(pc)
                put_files(template, disk)
                observations, final = self.play(disk, pc)
                kinds = [o["result"]["kind"] for o in observations if o["result"]["command"] == "cut"]
                self.assertEqual(kinds, ["two-part", "multi-part", "single-part"], "the demo disk changed")
                FileSystemsTest.reference = template, observations, final
            finally:
                shutil.rmtree(work, ignore_errors=True)
                if FileSystemsTest.reference is None:
                    shutil.rmtree(template, ignore_errors=True)
        return FileSystemsTest.reference

    def run_on(self, fs):
        work = tempfile.mkdtemp(prefix="vmx-fs-")
        self.addCleanup(shutil.rmtree, work, True)
        mounted = Mounted(self, fs, work)
        try:
            mounted.open()
            template, reference, final = self.reference_run()
            started = time.monotonic()
            pc = os.path.join(work, "pc")
            os.mkdir(pc)
            put_files(template, mounted.dir)
            observations, got_final = self.play(mounted.dir, pc)
            for want, got in zip(reference, observations):
                self.assertEqual(got, want, "%s: %s" % (fs.name, " ".join(want["step"])))
            self.assertEqual(got_final, final, fs.name + ": the disk at the end")
            print("\n%s: %.1f s" % (fs.name, time.monotonic() - started), file=sys.stderr, end=" ")
        finally:
            mounted.close()


for _fs in FILE_SYSTEMS:
    setattr(FileSystemsTest, "test_" + _fs.name, lambda self, fs=_fs: self.run_on(fs))


if __name__ == "__main__":
    CLI = sys.argv.pop(1)
    result = unittest.main(verbosity=2, exit=False).result
    if not result.wasSuccessful():
        sys.exit(1)
    sys.exit(77 if result.testsRun and len(result.skipped) == result.testsRun else 0)
