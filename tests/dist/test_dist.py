#!/usr/bin/env python3
"""The desktop integration files: the menu entry, the AppStream metainfo, the manual pages,
the bash completion and the installed tree they end up in.

Run one group:  test_dist.py GROUP  (DesktopEntry, Metainfo, ManualPages, Completion,
InstallTree). The validators are the ones desktops and software centres use; a check whose
tool is missing is skipped with the Debian package to install, and a group whose every check
was skipped exits with 77, which CTest reports as skipped.

The manual pages and the completion are checked against the programs themselves: every
command and option the built kelmor and kelmor-book print in their usage must be described
in each manual page and offered by the completion, so a new one cannot be forgotten there.
"""

import gzip
import os
import re
import shutil
import subprocess
import sys
import tempfile
import unittest
import xml.etree.ElementTree as ET

sys.dont_write_bytecode = True  # keep the source tree clean when run from CTest

SOURCE = os.environ.get("KELMOR_SOURCE_DIR",
                        os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", ".."))
BUILD = os.environ.get("KELMOR_BUILD_DIR", os.path.join(SOURCE, "build"))
APP_ID = os.environ.get("KELMOR_APP_ID", "ru.zel.kelmor")
VERSION = os.environ.get("KELMOR_VERSION", "")
SCREENSHOTS_URL = os.environ.get("KELMOR_SCREENSHOTS_URL", "")
KELMOR = os.environ.get("KELMOR_BINARY", os.path.join(BUILD, "app", "kelmor"))
BOOK_TOOL = os.environ.get("KELMOR_BOOK_TOOL", os.path.join(BUILD, "tools", "kelmor-book"))

DIST = os.path.join(SOURCE, "dist")
DESKTOP_FILE = os.path.join(DIST, APP_ID + ".desktop")
METAINFO = os.path.join(BUILD, "dist", APP_ID + ".metainfo.xml")
MAN_PAGES = {  # program: its pages, English and Russian
    "kelmor": [os.path.join(DIST, "man", "kelmor.1"), os.path.join(DIST, "man", "ru", "kelmor.1")],
    "kelmor-book": [os.path.join(DIST, "man", "kelmor-book.1"),
                    os.path.join(DIST, "man", "ru", "kelmor-book.1")],
}
COMPLETIONS = {p: os.path.join(DIST, "completion", p) for p in MAN_PAGES}
BASH_COMPLETION = "/usr/share/bash-completion/bash_completion"
XML_LANG = "{http://www.w3.org/XML/1998/namespace}lang"


def need_tool(test, tool, package):
    if shutil.which(tool) is None:
        test.skipTest(f"{tool} is not installed (Debian package {package})")


def run(args, **kwargs):
    return subprocess.run(args, capture_output=True, text=True, timeout=120, **kwargs)


def desktop_entry(path):
    """The [Desktop Entry] group as a dict of key to value."""
    entry, group = {}, None
    with open(path, encoding="utf-8") as f:
        for line in f:
            line = line.rstrip("\n")
            if not line or line.startswith("#"):
                continue
            if line.startswith("["):
                group = line
            elif group == "[Desktop Entry]":
                key, _, value = line.partition("=")
                entry[key] = value
    return entry


def usage_of(program, command=None):
    """The commands and options that a program's usage text names.

    kelmor dispatches its commands in app/launcher.cpp (those it runs itself) and app/main.cpp
    (the windowed program's); each command's options come from its own --help. kelmor-book lists every command on a usage line of its own.
    """
    if program == "kelmor":
        commands = []
        for source in ("launcher.cpp", "main.cpp"):
            with open(os.path.join(SOURCE, "app", source), encoding="utf-8") as f:
                commands += re.findall(r'command == "([a-z-]+)"', f.read())
        options = {}
        for c in commands:
            out = run([KELMOR, c, "--help"], env=dict(os.environ, QT_QPA_PLATFORM="offscreen"))
            assert out.returncode == 0, f"kelmor {c} --help: {out.returncode} {out.stderr}"
            options[c] = set(re.findall(r"(?<![\w-])--?[a-z][a-z-]*", out.stdout)) | {"--help"}
        return options
    out = run([BOOK_TOOL, "--help"])
    assert out.returncode == 0, f"kelmor-book --help: {out.returncode} {out.stderr}"
    options = {}
    for line in out.stdout.splitlines():
        words = line.split()
        if len(words) >= 2 and words[0] == "kelmor-book" and not words[1].startswith("-"):
            options.setdefault(words[1], set()).update(
                w for w in words[2:] if re.fullmatch(r"--?[a-z][a-z-]*", w))
    return options


def roff_text(path):
    """A manual page's source with roff's escaped minus signs as plain hyphens."""
    with open(path, encoding="utf-8") as f:
        return f.read().replace("\\-", "-")


def mentions(text, word):
    return re.search(r"(?<![\w-])" + re.escape(word) + r"(?![\w-])", text) is not None


class DesktopEntry(unittest.TestCase):
    def test_validates_without_a_remark(self):
        need_tool(self, "desktop-file-validate", "desktop-file-utils")
        out = run(["desktop-file-validate", DESKTOP_FILE])
        self.assertEqual((out.returncode, out.stdout + out.stderr), (0, ""))

    def test_names_it_in_both_languages_and_starts_the_program(self):
        entry = desktop_entry(DESKTOP_FILE)
        for key in ("Name", "GenericName", "Comment", "Keywords"):
            self.assertTrue(entry.get(key), key)
            self.assertRegex(entry.get(key + "[ru]", ""), "[а-яё]", key + "[ru]")
        self.assertEqual(entry["Name[ru]"], "Сонник ZEL Kelmor 3")
        # The single-instance program itself: a second start brings the window forward.
        self.assertEqual(entry["Exec"], "kelmor")
        self.assertEqual(entry["Icon"], APP_ID)
        categories = entry["Categories"].split(";")
        self.assertTrue({"Utility", "Education"} & set(categories), categories)


class Metainfo(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.root = ET.parse(METAINFO).getroot()

    def texts(self, tag):
        """{language: text} of the elements tag; "" is the untranslated (English) one."""
        return {e.get(XML_LANG, ""): "".join(e.itertext()).strip() for e in self.root.iter(tag)}

    def test_validates_without_a_remark(self):
        need_tool(self, "appstreamcli", "appstream")
        out = run(["appstreamcli", "validate", "--no-net", METAINFO])
        self.assertEqual(out.returncode, 0, out.stdout + out.stderr)

    def test_describes_the_program_in_english_and_russian(self):
        self.assertEqual(self.root.findtext("id"), APP_ID)
        self.assertEqual(self.root.findtext("launchable"), APP_ID + ".desktop")
        for tag in ("name", "summary", "p", "li"):
            texts = self.texts(tag)
            self.assertIn("", texts, tag)
            self.assertRegex(texts.get("ru", ""), "[а-яё]", tag)
        self.assertEqual(self.texts("name")["ru"], "Сонник ZEL Kelmor 3")
        # Every English paragraph and item has its Russian one.
        description = self.root.find("description")
        for tag in ("p", "li"):
            langs = [e.get(XML_LANG, "") for e in description.iter(tag)]
            self.assertEqual(langs.count(""), langs.count("ru"), tag)

    def test_newest_release_is_this_version(self):
        releases = self.root.findall("releases/release")
        self.assertTrue(releases)
        self.assertEqual(releases[0].get("version"), VERSION)

    def test_screenshots_are_committed_and_linked_from_the_project(self):
        images = [e.text.strip() for e in self.root.iter("image")]
        self.assertTrue(images)
        self.assertEqual(
            [s.get("type") for s in self.root.iter("screenshot")].count("default"), 1)
        for url in images:
            self.assertTrue(url.startswith(SCREENSHOTS_URL + "/"), url)
            path = os.path.join(DIST, "screenshots", url[len(SCREENSHOTS_URL) + 1:])
            with open(path, "rb") as f:
                self.assertEqual(f.read(8), b"\x89PNG\r\n\x1a\n", path)


class ManualPages(unittest.TestCase):
    def test_render_without_warnings(self):
        need_tool(self, "man", "man-db")
        for pages in MAN_PAGES.values():
            for page in pages:
                out = run(["man", "--warnings", "-l", page],
                          env=dict(os.environ, MANWIDTH="80", LANG="C.UTF-8"))
                self.assertEqual((out.returncode, out.stderr), (0, ""), page)
                self.assertIn("NAME" if "/ru/" not in page else "ИМЯ", out.stdout, page)

    def test_describe_every_command_and_option(self):
        for program, pages in MAN_PAGES.items():
            usage = usage_of(program)
            self.assertTrue(usage, program)
            for page in pages:
                text = roff_text(page)
                for command, options in usage.items():
                    self.assertTrue(mentions(text, command), f"{page}: {command}")
                    for option in options:
                        self.assertTrue(mentions(text, option), f"{page}: {command} {option}")
        for page in MAN_PAGES["kelmor"]:
            text = roff_text(page)
            for word in ("/tray", "ZEL_Programming.conf", "XDG_CONFIG_HOME", "XDG_DATA_DIRS",
                         "QT_LOGGING_RULES"):
                self.assertTrue(mentions(text, word), f"{page}: {word}")


class Completion(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix="kelmor-completion-")
        for name in ("source.json", "sample.book", "notes.txt"):
            open(os.path.join(cls.scratch.name, name), "w").close()
        os.mkdir(os.path.join(cls.scratch.name, "folder"))

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def setUp(self):
        if not os.path.exists(BASH_COMPLETION):
            self.skipTest("bash-completion is not installed (Debian package bash-completion)")

    def complete(self, *words):
        """What bash offers for the last of words, in the scratch folder."""
        program = words[0]
        function = "_" + program.replace("-", "_")
        script = ('source "$1"; source "$2"; shift 2; COMP_WORDS=("$@"); '
                  'COMP_CWORD=$(($# - 1)); COMP_LINE="$*"; COMP_POINT=${#COMP_LINE}; '
                  f'{function}; printf "%s\\n" "${{COMPREPLY[@]}}"')
        out = run(["bash", "-c", script, "_", BASH_COMPLETION, COMPLETIONS[program], *words],
                  cwd=self.scratch.name)
        self.assertEqual(out.returncode, 0, out.stderr)
        return set(filter(None, out.stdout.split("\n")))

    def test_offers_every_command_and_option_of_the_usage(self):
        for program in COMPLETIONS:
            usage = usage_of(program)
            self.assertLessEqual(set(usage), self.complete(program, ""), program)
            for command, options in usage.items():
                self.assertLessEqual(options, self.complete(program, command, "-"),
                                     f"{program} {command}")
        self.assertIn("/tray", self.complete("kelmor", "/"))

    def test_offers_what_each_place_takes(self):
        cases = [
            # words, what is offered
            (("kelmor", "mo"), {"moon"}),
            (("kelmor", "lookup", ""), set()),
            (("kelmor", "moon", "--lat", ""), set()),
            (("kelmor", "moon", "--json", "--l"), {"--lat", "--lon"}),
            (("kelmor", "/tray", ""), set()),
            (("kelmor", "frobnicate", "-"), set()),
            (("kelmor-book", "build", ""), {"source.json", "folder"}),
            (("kelmor-book", "build", "source.json", "-o", ""), {"sample.book", "folder"}),
            (("kelmor-book", "dump", ""), {"sample.book", "folder"}),
            (("kelmor-book", "dump", "--raw", ""),
             {"source.json", "sample.book", "notes.txt", "folder"}),
            (("kelmor-book", "unlock", ""), {"sample.book", "folder"}),
            (("kelmor-book", "lock", ""), {"source.json", "sample.book", "notes.txt", "folder"}),
        ]
        for words, expected in cases:
            self.assertEqual(self.complete(*words), expected, " ".join(words))

    def test_offers_the_present_moment_for_at(self):
        for words in (("kelmor", "moon", "--at", ""), ("kelmor", "moon", "--at=")):
            offered = self.complete(*words)
            self.assertEqual(len(offered), 1, words)
            self.assertRegex(offered.pop(), r'^"\d{4}-\d\d-\d\d \d\d:\d\d:\d\d"$')


class InstallTree(unittest.TestCase):
    """cmake --install into a scratch folder, as the package does, with the prefix /usr."""

    @classmethod
    def setUpClass(cls):
        cls.scratch = tempfile.TemporaryDirectory(prefix="kelmor-install-")
        out = run(["cmake", "--install", BUILD, "--prefix", "/usr"],
                  env=dict(os.environ, DESTDIR=cls.scratch.name))
        assert out.returncode == 0, out.stdout + out.stderr
        cls.files = set()
        for folder, _, names in os.walk(cls.scratch.name):
            for name in names:
                cls.files.add(os.path.relpath(os.path.join(folder, name), cls.scratch.name))

    @classmethod
    def tearDownClass(cls):
        cls.scratch.cleanup()

    def test_installs_everything_under_usr(self):
        self.assertTrue(self.files)
        self.assertEqual([f for f in self.files if not f.startswith("usr/")], [])
        expected = [
            "usr/bin/kelmor", "usr/bin/kelmor-book",
            f"usr/share/applications/{APP_ID}.desktop",
            f"usr/share/metainfo/{APP_ID}.metainfo.xml",
            f"usr/share/icons/hicolor/scalable/apps/{APP_ID}.svg",
            "usr/share/bash-completion/completions/kelmor",
            "usr/share/bash-completion/completions/kelmor-book",
        ]
        expected += [f"usr/share/icons/hicolor/{s}x{s}/apps/{APP_ID}.png"
                     for s in (16, 24, 32, 48, 64, 128, 256)]
        expected += [f"usr/share/man/{d}man1/{p}.1.gz" for d in ("", "ru/") for p in MAN_PAGES]
        for path in expected:
            self.assertIn(path, self.files)
        books = [f for f in self.files
                 if f.startswith("usr/share/ZEL Programming/ZEL Kelmor/3.1/Books/")
                 and f.endswith(".book")]
        self.assertTrue(books)

    def test_icons_have_their_sizes(self):
        for size in (16, 24, 32, 48, 64, 128, 256):
            path = os.path.join(self.scratch.name,
                                f"usr/share/icons/hicolor/{size}x{size}/apps/{APP_ID}.png")
            with open(path, "rb") as f:
                header = f.read(24)
            self.assertEqual(header[:8], b"\x89PNG\r\n\x1a\n")
            width, height = int.from_bytes(header[16:20], "big"), int.from_bytes(header[20:24], "big")
            self.assertEqual((width, height), (size, size))

    def test_manual_pages_are_the_sources_compressed(self):
        for program, (english, russian) in MAN_PAGES.items():
            for source, folder in ((english, "man1"), (russian, "ru/man1")):
                path = os.path.join(self.scratch.name, f"usr/share/man/{folder}/{program}.1.gz")
                with gzip.open(path, "rb") as f, open(source, "rb") as g:
                    self.assertEqual(f.read(), g.read(), path)

    def test_software_centre_finds_entry_metainfo_and_icon(self):
        need_tool(self, "appstreamcli", "appstream")
        out = run(["appstreamcli", "validate-tree", "--no-net", self.scratch.name])
        self.assertEqual(out.returncode, 0, out.stdout + out.stderr)


def main():
    if len(sys.argv) != 2 or sys.argv[1] not in ("DesktopEntry", "Metainfo", "ManualPages",
                                                 "Completion", "InstallTree"):
        sys.exit(__doc__)
    suite = unittest.defaultTestLoader.loadTestsFromTestCase(globals()[sys.argv[1]])
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if not result.wasSuccessful():
        sys.exit(1)
    if result.testsRun and len(result.skipped) == result.testsRun:
        sys.exit(77)


if __name__ == "__main__":
    main()
