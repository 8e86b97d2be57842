#!/usr/bin/env python3
"""Installs the build into a temporary DESTDIR (prefix /usr, as the Debian package does) and checks
the installed tree: exactly the files that belong there, programs that run from there on a demo
disk, and desktop entry, AppStream metadata, icons, manual pages and completion that agree with
the programs and with each other.

Every run of an installed program gets a fresh HOME and XDG folders of its own (`run(...,
config={...})` writes INI files into its $XDG_CONFIG_HOME/velmorix/ first), and is followed by a
check that nothing in the installed tree changed."""
import argparse
import gzip
import json
import os
import re
import shutil
import struct
import subprocess
import sys
import tempfile
import unittest

OPTS = None
DEMO_DB = os.path.join("RECORD", "DZT000.DB")


def snapshot(root):
    """Every path under root with its mode, size and modification time."""
    state = {}
    for folder, dirs, files in os.walk(root):
        for name in dirs + files:
            path = os.path.join(folder, name)
            st = os.lstat(path)
            state[os.path.relpath(path, root)] = (st.st_mode, st.st_size, st.st_mtime_ns)
    return state


def png_size(path):
    with open(path, "rb") as f:
        head = f.read(24)
    if head[:8] != b"\x89PNG\r\n\x1a\n" or head[12:16] != b"IHDR":
        return None
    return struct.unpack(">II", head[16:24])


def cli_commands(help_text):
    """The commands `velmorix-cli --help` lists, each with the options its usage line names."""
    commands = {}
    for line in help_text.splitlines():
        m = re.match(r"^  ([a-z]+) (.*)$", line)
        if m:
            commands[m.group(1)] = set(re.findall(r"--[a-z][a-z0-9-]*", m.group(2)))
    return commands


class InstalledTree(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="vmx-install-")
        cls.dest = os.path.join(cls.work, "dest")
        env = dict(os.environ, DESTDIR=cls.dest)
        proc = subprocess.run([OPTS.cmake, "--install", OPTS.build, "--prefix", "/usr"], env=env,
                              capture_output=True, text=True, timeout=300)
        if proc.returncode != 0:
            shutil.rmtree(cls.work, ignore_errors=True)
            raise RuntimeError("cmake --install failed:\n" + proc.stdout + proc.stderr)
        cls.usr = os.path.join(cls.dest, "usr")
        cls.installed = snapshot(cls.dest)
        cls.runs = 0

    @classmethod
    def tearDownClass(cls):
        shutil.rmtree(cls.work, ignore_errors=True)

    def path(self, *parts):
        return os.path.join(self.usr, *parts)

    def run_installed(self, program, *args, config=None, expect=0, display=False):
        """Runs bin/<program> of the installed tree with a home and XDG folders of its own.
        config maps INI file names to the text put into $XDG_CONFIG_HOME/velmorix/."""
        type(self).runs += 1
        home = os.path.join(self.work, "run%d" % self.runs)
        env = {k: v for k, v in os.environ.items()
               if not k.startswith("XDG_") and (display or k not in ("DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"))}
        env.update(HOME=home, XDG_CONFIG_HOME=os.path.join(home, "config"),
                   XDG_DATA_HOME=os.path.join(home, "data"), XDG_CACHE_HOME=os.path.join(home, "cache"),
                   XDG_RUNTIME_DIR=os.path.join(home, "runtime"))
        os.makedirs(env["XDG_RUNTIME_DIR"], mode=0o700)
        os.makedirs(os.path.join(env["XDG_CONFIG_HOME"], "velmorix"))
        for name, text in (config or {}).items():
            with open(os.path.join(env["XDG_CONFIG_HOME"], "velmorix", name), "w") as f:
                f.write(text)
        proc = subprocess.run([self.path("bin", program), *args], env=env, cwd=home, capture_output=True,
                              text=True, timeout=300)
        self.assertEqual(proc.returncode, expect, "%s %s:\n%s%s" % (program, args, proc.stdout, proc.stderr))
        self.assertEqual(snapshot(self.dest), self.installed,
                         "%s %s changed the installed tree" % (program, " ".join(args)))
        return proc

    def demo_disk(self):
        """A demo receiver disk written by the installed velmorix-cli, once per test class."""
        folder = os.path.join(self.work, "demo disk")
        if not os.path.exists(folder):
            self.run_installed("velmorix-cli", "demo", folder)
        return folder

    def merged_demo_recording(self, record_id, out_folder):
        """Recording record_id of the demo disk joined into one .trp file in out_folder."""
        db = os.path.join(self.demo_disk(), DEMO_DB)
        os.makedirs(out_folder, exist_ok=True)
        self.run_installed("velmorix-cli", "merge", db, str(record_id), out_folder)
        rec = json.loads(self.run_installed("velmorix-cli", "show", db, str(record_id), "--json").stdout)
        return os.path.join(out_folder, "[m]%s.trp" % rec["name"]), rec

    def expected_files(self):
        app = OPTS.app_id
        files = {
            "usr/bin/velmorix-cli",
            "usr/lib/velmorix/modules/export.so",
            "usr/share/velmorix/tamsel.ini",
            "usr/share/velmorix/encoding-custom.ini",
            "usr/share/velmorix/setting.ini",
            "usr/share/man/man1/velmorix-cli.1.gz",
            "usr/share/bash-completion/completions/velmorix-cli",
            "usr/share/doc/velmorix/copyright",
            "usr/share/doc/velmorix/changelog.gz",
        }
        if OPTS.gui:
            files |= {
                "usr/bin/velmorix",
                "usr/share/man/man1/velmorix.1.gz",
                "usr/share/applications/%s.desktop" % app,
                "usr/share/metainfo/%s.metainfo.xml" % app,
                "usr/share/icons/hicolor/scalable/apps/%s.svg" % app,
            }
            files |= {"usr/share/icons/hicolor/%dx%d/apps/%s.png" % (n, n, app)
                      for n in (16, 22, 24, 32, 48, 64, 128, 256)}
        return files

    def test_the_tree_holds_exactly_the_shipped_files(self):
        files = {p for p, (mode, _, _) in self.installed.items() if not os.path.isdir(os.path.join(self.dest, p))}
        self.assertEqual(files, self.expected_files())
        for rel, (mode, _, _) in self.installed.items():
            want = 0o755 if os.path.isdir(os.path.join(self.dest, rel)) or rel.startswith("usr/bin/") else 0o644
            self.assertEqual(mode & 0o7777, want, rel)
        for name in ("tamsel.ini", "encoding-custom.ini", "setting.ini"):
            with open(os.path.join(OPTS.source, "res", name), "rb") as shipped, \
                    open(self.path("share", "velmorix", name), "rb") as installed:
                self.assertEqual(installed.read(), shipped.read(), name)

    def test_programs_print_their_version_without_a_display(self):
        self.assertEqual(self.run_installed("velmorix-cli", "--version").stdout, "velmorix-cli %s\n" % OPTS.version)
        if OPTS.gui:
            self.assertEqual(self.run_installed("velmorix", "--version").stdout, "velmorix %s\n" % OPTS.version)
            self.assertIn("usage: velmorix", self.run_installed("velmorix", "--help").stdout)
            # Without --version or --help it needs a display and says so.
            self.assertIn("no display", self.run_installed("velmorix", expect=1).stderr)

    def test_binaries_name_no_build_folder(self):
        """Nor do the programs link the FFmpeg libraries: only the export module does, which the child
        process of an export loads."""
        programs = [os.path.join("bin", p) for p in (("velmorix", "velmorix-cli") if OPTS.gui else ("velmorix-cli",))]
        for binary in programs + [os.path.join("lib", "velmorix", "modules", "export.so")]:
            dynamic = subprocess.run(["readelf", "-d", self.path(binary)], capture_output=True,
                                     text=True, check=True).stdout
            self.assertNotIn("RPATH", dynamic, binary)
            self.assertNotIn("RUNPATH", dynamic, binary)
            self.assertEqual("libavformat" in dynamic, binary.endswith("export.so"), binary)

    def test_installed_cli_works_on_a_demo_disk(self):
        db = os.path.join(self.demo_disk(), DEMO_DB)
        listing = json.loads(self.run_installed("velmorix-cli", "list", db, "--json").stdout)
        self.assertEqual([r["name"] for r in listing["records"]], ["Nature One", "Sports HD", "News 24"])
        self.assertIn("no problems found", self.run_installed("velmorix-cli", "check", db).stdout)

        merged, rec = self.merged_demo_recording(2, os.path.join(self.work, "merged"))
        self.assertEqual(len(rec["parts"]), 2)
        joined = b""
        for part in rec["parts"]:
            with open(os.path.join(os.path.dirname(db), part), "rb") as f:
                joined += f.read()
        with open(merged, "rb") as f:
            self.assertTrue(f.read() == joined, "the merged file is not the parts joined")

        songs = self.run_installed("velmorix-cli", "media", "list", "mp3", "--receiver", self.demo_disk()).stdout
        self.assertIn(".mp3", songs)

        # The export finds its module in the installed tree.
        exported = os.path.join(self.work, "exported")
        os.makedirs(exported)
        written = json.loads(self.run_installed("velmorix-cli", "export", db, "2", exported, "--json").stdout)["written"]
        self.assertEqual([os.path.basename(p) for p in written], ["Sports HD.mkv"])

    def test_installed_cli_converts_with_the_users_settings_or_the_shipped_ones(self):
        """convert takes encoding-custom.ini and setting.ini from $XDG_CONFIG_HOME/velmorix/ when the
        user has them; without them the copies shipped in share/velmorix apply (the templates come
        from there in both cases)."""
        merged, rec = self.merged_demo_recording(1, os.path.join(self.work, "to convert"))
        self.assertEqual(len(rec["parts"]), 1)
        cases = [
            ("shipped", None, "[P]", (320, 240)),
            ("user's", {"encoding-custom.ini": "[VIDEO]\nnVidW=160\nnVidH=120\n",
                        "setting.ini": "[GENERAL]\nFILEHEADER=[U]\n"}, "[U]", (160, 120)),
        ]
        for name, config, prefix, size in cases:
            with self.subTest(name):
                out = os.path.join(self.work, "converted with the %s settings" % name)
                os.makedirs(out)
                self.run_installed("velmorix-cli", "convert", merged, "--dest", out, config=config)
                avi = os.path.join(out, prefix + os.path.basename(merged)[:-len(".trp")] + ".avi")
                self.assertEqual(os.listdir(out), [os.path.basename(avi)])
                probe = subprocess.run(["ffprobe", "-v", "error", "-select_streams", "v:0", "-show_entries",
                                        "stream=width,height", "-of", "csv=p=0", avi],
                                       capture_output=True, text=True, check=True)
                self.assertEqual(tuple(int(n) for n in probe.stdout.strip().split(",")), size)

    def test_desktop_entry_and_metainfo_name_what_is_installed(self):
        if not OPTS.gui:
            self.skipTest("built without the desktop program")
        app = OPTS.app_id
        desktop = self.path("share", "applications", app + ".desktop")
        entry = {}
        with open(desktop) as f:
            for line in f:
                if "=" in line and not line.startswith("#"):
                    key, value = line.rstrip("\n").split("=", 1)
                    entry[key] = value
        self.assertEqual(entry["Exec"].split()[0], "velmorix")
        self.assertEqual(entry["TryExec"], "velmorix")
        self.assertEqual(entry["Icon"], app)
        with open(self.path("share", "metainfo", app + ".metainfo.xml")) as f:
            metainfo = f.read()
        self.assertIn("<id>%s</id>" % app, metainfo)
        self.assertIn('<launchable type="desktop-id">%s.desktop</launchable>' % app, metainfo)
        self.assertEqual(re.search(r'<release version="([^"]+)"', metainfo).group(1), OPTS.version)
        for binary in re.findall(r"<binary>([^<]+)</binary>", metainfo):
            self.assertTrue(os.access(self.path("bin", binary), os.X_OK), binary)

    def test_icons_have_the_size_their_folder_names(self):
        if not OPTS.gui:
            self.skipTest("built without the desktop program")
        hicolor = self.path("share", "icons", "hicolor")
        sizes = [d for d in os.listdir(hicolor) if d != "scalable"]
        self.assertGreaterEqual(len(sizes), 8)
        for folder in sizes:
            n = int(folder.split("x")[0])
            self.assertEqual(png_size(os.path.join(hicolor, folder, "apps", OPTS.app_id + ".png")), (n, n), folder)
        with open(os.path.join(hicolor, "scalable", "apps", OPTS.app_id + ".svg")) as f:
            self.assertIn("<svg", f.read())

    def test_validators_accept_the_desktop_entry_and_the_metainfo(self):
        if not OPTS.gui:
            self.skipTest("built without the desktop program")
        desktop = self.path("share", "applications", OPTS.app_id + ".desktop")
        metainfo = self.path("share", "metainfo", OPTS.app_id + ".metainfo.xml")
        checked = 0
        if shutil.which("desktop-file-validate"):
            proc = subprocess.run(["desktop-file-validate", desktop], capture_output=True, text=True)
            self.assertEqual((proc.returncode, proc.stdout + proc.stderr), (0, ""))
            checked += 1
        if shutil.which("appstreamcli"):
            proc = subprocess.run(["appstreamcli", "validate", "--no-net", metainfo], capture_output=True, text=True)
            out = proc.stdout + proc.stderr
            self.assertEqual(proc.returncode, 0, out)
            self.assertFalse(re.search(r"^[EW]:", out, re.M), out)
            checked += 1
        if not checked:
            self.skipTest("neither desktop-file-validate nor appstreamcli is installed")

    def test_manual_pages_render_cleanly_and_name_every_command_and_option(self):
        pages = ["velmorix-cli"] + (["velmorix"] if OPTS.gui else [])
        texts = {}
        for page in pages:
            with gzip.open(self.path("share", "man", "man1", page + ".1.gz"), "rt") as f:
                texts[page] = f.read()
            self.assertIn('"velmorix %s"' % OPTS.version, texts[page].splitlines()[0])
            if shutil.which("groff"):
                proc = subprocess.run(["groff", "-man", "-Tutf8", "-ww", "-z"], input=texts[page],
                                      capture_output=True, text=True)
                self.assertEqual((proc.returncode, proc.stderr), (0, ""), page)
        roff = texts["velmorix-cli"].replace("\\-", "-").replace("\\fB", "").replace("\\fP", "").replace("\\fR", "")
        help_text = self.run_installed("velmorix-cli", "--help").stdout
        commands = cli_commands(help_text)
        self.assertIn("convert", commands)
        for command, options in commands.items():
            self.assertTrue(re.search(r'(?m)^(\.B[IR]? +"?)?%s\b' % command, roff), "no entry for " + command)
            for option in options:
                self.assertIn(option, roff, "%s %s" % (command, option))

    def test_bash_completion_offers_what_the_cli_takes(self):
        script = self.path("share", "bash-completion", "completions", "velmorix-cli")

        def complete(*words):
            line = 'source "$1"; shift; COMP_WORDS=("$@"); COMP_CWORD=$(($# - 1)); _velmorix_cli; ' \
                   'printf "%s\\n" "${COMPREPLY[@]}"'
            proc = subprocess.run(["bash", "-c", line, "bash", script, "velmorix-cli", *words],
                                  capture_output=True, text=True, cwd=self.work)
            self.assertEqual(proc.stderr, "")
            return set(filter(None, proc.stdout.split("\n")))

        commands = cli_commands(self.run_installed("velmorix-cli", "--help").stdout)
        self.assertEqual(complete(""), set(commands) | {"--version", "--help"})
        for command, options in commands.items():
            self.assertEqual(complete(command, "--"), options, command)
        self.assertEqual(complete("media", ""), {"put", "get", "list", "delete"})
        self.assertEqual(complete("media", "list", ""), {"mp3", "image"})
        # File names with blanks stay one word.
        os.makedirs(os.path.join(self.work, "complete me"), exist_ok=True)
        with open(os.path.join(self.work, "complete me", "[m]Sports HD.trp"), "w"):
            pass
        self.assertEqual(complete("merge", "complete me/[m]S"), {"complete me/[m]Sports HD.trp"})
        self.assertEqual(complete("convert", "x", "--dest", "complete"), {"complete me"})


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--cmake", required=True)
    parser.add_argument("--build", required=True)
    parser.add_argument("--source", required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("--app-id", required=True)
    parser.add_argument("--gui", required=True)
    OPTS, rest = parser.parse_known_args()
    OPTS.gui = OPTS.gui.upper() in ("ON", "1", "TRUE", "YES")
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
