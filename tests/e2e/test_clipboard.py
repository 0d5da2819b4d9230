"""zanpo's clipboard, read back from a real X server (Xvfb) with xclip.

The group starts its own Xvfb on a display number the server picks itself, so
it can run beside other groups, and stops it at the end; the xclip processes
that keep serving the selection go with it. Under wine the Windows clipboard is
handed to the same X server when DISPLAY is set, so the cases run there too,
except those about the POSIX helper programs.

Wine's clipboard lives in the desktop process of a wine server, which connects
to the display of the first program that starts it and quits a moment after
the last program ends. So under wine the group has a wine prefix of its own
(no other suite's server can hold the clipboard on another display) and keeps
a wine program running until it ends.
"""

import os
import shutil
import signal
import subprocess
import tempfile
import time
import unittest

import harness
from harness import CONFIG, Case, crlf_lines, fixture, native_path, sjis, windows
from test_code_pages import UTF8_MANIFEST

SAMPLE = fixture("ken_sample.csv")
ZIP_LINE = '1,"ab","1234567","cd"'
CLIPBOARD_FAILURE = sjis("クリップボードを開くことができません.\r\n\r\n")

display = None
xvfb = None
wine_env = {}  # what every wine program of the group gets: its prefix
wine_keeper = None
wine_folder = None


def setUpModule():
    global display, xvfb
    for tool in ("Xvfb", "xclip"):
        if shutil.which(tool) is None:
            raise unittest.SkipTest(f"{tool} is not installed")
    # Every case names its display itself; none may reach the desktop of
    # whoever runs the suite, nor a Wayland compositor.
    for name in ("DISPLAY", "WAYLAND_DISPLAY"):
        os.environ.pop(name, None)
    xvfb, display = harness.start_xvfb()
    if windows():
        start_wine()


def wineserver():
    """wineserver: on PATH, or beside wine64 (Debian's wine keeps it off PATH)."""
    emulator = CONFIG["emulator"].split(";")[-1]
    for candidate in (os.environ.get("WINESERVER"), shutil.which("wineserver"),
                      os.path.join(os.path.dirname(emulator), "wineserver")):
        if candidate and os.access(candidate, os.X_OK):
            return candidate
    raise unittest.SkipTest("wineserver is not installed")


def start_wine():
    global wine_keeper, wine_folder
    wine_folder = tempfile.mkdtemp(prefix="narvo-wine-")
    wine_env["WINEPREFIX"] = os.path.join(wine_folder, "prefix")
    environment = dict(os.environ, DISPLAY=display, WINEDEBUG="-all", LANG="ja_JP.UTF-8",
                       LC_ALL="ja_JP.UTF-8", **wine_env)
    # The new prefix is set up first: wineboot returns while the programs it
    # started still work on it, and its server ends once they are done. No
    # display yet: that is the session's, and a dialog would wait for an answer.
    booting = {k: v for k, v in environment.items() if k not in ("DISPLAY", "WAYLAND_DISPLAY")}
    subprocess.run(CONFIG["emulator"].split(";") + ["wineboot", "-i"], env=booting,
                   stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=300, check=True)
    subprocess.run([wineserver(), "-w"], env=booting, timeout=300, check=True)
    # cmd.exe waits for commands on its standard input until the group closes it.
    wine_keeper = subprocess.Popen(CONFIG["emulator"].split(";") + ["cmd.exe"],
                                   stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                   stderr=subprocess.DEVNULL, env=environment)


def stop_wine():
    environment = dict(os.environ, **wine_env)
    if wine_keeper is not None:
        wine_keeper.stdin.close()
        try:
            wine_keeper.wait(timeout=30)
        except subprocess.TimeoutExpired:
            wine_keeper.kill()
            wine_keeper.wait()
    subprocess.run([wineserver(), "-k"], env=environment, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL, timeout=60)
    shutil.rmtree(wine_folder, ignore_errors=True)


def tearDownModule():
    if wine_folder is not None:
        stop_wine()
    if xvfb is not None:
        xvfb.terminate()
        xvfb.wait(timeout=30)


def read_clipboard():
    """The clipboard's bytes, or None when nothing owns it."""
    p = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                       env=dict(os.environ, DISPLAY=display), timeout=30)
    return p.stdout if p.returncode == 0 else None


def clipboard_after_copy(expected):
    """The clipboard once it holds expected, or what it holds after a while.

    xclip and xsel exit before the copy they leave in the background has told
    the X server that it owns the selection, so the text arrives a moment
    after zanpo ends.
    """
    deadline = time.monotonic() + 5
    while True:
        data = read_clipboard()
        if data == expected or time.monotonic() > deadline:
            return data
        time.sleep(0.05)


def clipboard_left_alone():
    """The clipboard after a wrong copy would have had time to arrive."""
    time.sleep(0.5)
    return read_clipboard()


def set_clipboard(data):
    # xclip stays behind to serve the selection; with pipes on its output it
    # would keep them open and hang this call.
    subprocess.run(["xclip", "-i", "-selection", "clipboard"], input=data,
                   stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                   env=dict(os.environ, DISPLAY=display), check=True, timeout=30)
    # Or a later copy could be overtaken by this one.
    if clipboard_after_copy(data) != data:
        raise RuntimeError("the clipboard cannot be set up with xclip")


def as_read_back(field):
    """The field's bytes as xclip reads them: unchanged, or as UTF-8 after wine's conversion."""
    data = sjis(field) if isinstance(field, str) else field
    return data.decode("cp932").encode("utf-8") if windows() else data


class ClipboardCase(Case):
    def setUp(self):
        super().setUp()
        self.program = self.install(edition="zanpo")
        set_clipboard(b"previous")

    def zanpo(self, *args, env=None, with_display=True, **kw):
        environment = dict(wine_env, DISPLAY=display) if with_display else dict(wine_env)
        environment.update(env or {})
        return self.run_program(self.program, *args, env=environment, **kw)

    def assertClipboard(self, expected):
        self.assertEqual(clipboard_after_copy(expected), expected)

    def assertClipboardKept(self):
        self.assertEqual(clipboard_left_alone(), b"previous")

    def search(self, lines, *args, **kw):
        """zanpo with args searching a file that holds lines (str or bytes, CR LF added)."""
        data = self.write("d.csv", crlf_lines(*lines))
        return self.zanpo("/F" + native_path(data), *args, **kw)


class Fields(ClipboardCase):
    def test_the_field_of_the_selected_line(self):
        # Each keyword selects every line of its file.
        two_fields_each = ["x,1,one", "x,2,two"]
        cases = [
            ([ZIP_LINE], ["1234567"], "1234567"),  # column 3 by default, quotes removed
            ([ZIP_LINE], ["/C1", "1234567"], "1"),
            ([ZIP_LINE], ["/C2", "1234567"], "ab"),
            ([ZIP_LINE], ["/C3", "1234567"], "1234567"),
            ([ZIP_LINE], ["/C4", "1234567"], ZIP_LINE),  # the field count: the whole line
            ([ZIP_LINE], ["/C5", "1234567"], ZIP_LINE),
            ([ZIP_LINE], ["/C2147483647", "1234567"], ZIP_LINE),
            ([ZIP_LINE], ["-c02", "1234567"], "ab"),
            ([ZIP_LINE], ["/Cx", "1234567"], "1234567"),  # not a number: column 3
            ([ZIP_LINE], ["/C", "1234567"], "1234567"),
            (["a,b,c"], ["/C3", "a"], "a,b,c"),
            (["a,b,c"], ["/C2", "a"], "b"),
            (["a,b,"], ["/C3", "a"], "a,b,"),  # an empty last field is still the last
            (["a,b,"], ["/C2", "a"], "b"),
            (["a,,c"], ["/C2", "a"], ""),
            (['"'], ["/V", "#"], ""),  # one double quote: first and last byte at once
            (two_fields_each, ["/C2", "x"], "2"),  # several hits: the last one counts
            (["1,2,大阪府,4"], ["/C3", "1"], "大阪府"),
        ]
        if not windows():
            # The text ends at its first NUL, as Windows programs read the
            # text item; wine hands X11 every byte of the item instead.
            cases.append(([b"a\0b,c"], ["/C1", "a"], "a"))
        for lines, args, expected in cases:
            with self.subTest(lines=lines, args=args):
                set_clipboard(b"previous")
                r = self.search(lines, *args)
                self.assertOutput(r, crlf_lines(*lines))
                self.assertClipboard(as_read_back(expected))

    def test_the_postal_code_of_the_last_hit(self):
        data = self.write("KEN_ALL.CSV", SAMPLE)
        hits = [line for line in SAMPLE.split(b"\r\n")
                if sjis("大阪") in line and sjis("北区") in line]
        code = hits[-1].split(b",")[2].strip(b'"')
        self.assertRegex(code, rb"^\d{7}$")
        for args, expected in [([], code), (["/C7"], sjis("大阪府"))]:
            with self.subTest(args=args):
                r = self.zanpo("/F" + native_path(data), *args, "大阪", "北区")
                self.assertEqual(r.status, 0, r.err)
                self.assertTrue(r.out.endswith(hits[-1] + b"\r\n"))
                self.assertClipboard(as_read_back(expected))

    def test_column_zero_leaves_the_clipboard_alone(self):
        r = self.search([ZIP_LINE], "/C0", "ab")
        self.assertOutput(r, crlf_lines(ZIP_LINE))
        self.assertClipboardKept()

    def test_no_selected_line_empties_the_clipboard(self):
        r = self.search([ZIP_LINE], "nowhere")
        self.assertOutput(r, b"")
        self.assertClipboard(b"")

    def test_a_column_beyond_32_bits_copies_nothing(self):
        r = self.search([ZIP_LINE], "/C2147483648", "ab")
        self.assertEqual((r.out, r.status), (b"", 1))
        self.assertTrue(r.err.endswith(sjis("'2147483648' は整数ではありません.\r\n\r\n")), r.err)
        self.assertClipboardKept()

    def test_messages_leave_the_clipboard_alone(self):
        for args in (["/Fmissing.csv", "ab"], ["/F" + native_path(self.write("e.csv", "x"))]):
            with self.subTest(args=args):
                r = self.zanpo(*args)
                self.assertEqual(r.status, 0)
                self.assertClipboardKept()

    def test_utf8_console_gets_utf8_text(self):
        # あ is E3 81 82 in UTF-8; cut by the Shift-JIS rules its 0x82 would
        # swallow the comma after it. On Windows the UTF-8 mode copies UTF-16
        # text, which X gets right in any code page (as CF_TEXT, code page 1252
        # would turn each byte into a character of its own).
        cases = [
            (SAMPLE, "/C7", "5300001", "大阪府"),
            (fixture("ken_sample_utf8.csv"), "/C7", "5300001", "大阪府"),
            ("あ,x,y\r\n".encode("utf-8"), "/C2", "y", "x"),
            ("x,あ,y\r\n".encode("cp932"), "/C2", "y", "あ"),
            ("\ufeff27127,大阪\r\n".encode("utf-8"), "/C1", "27127", "27127"),  # no byte-order mark
        ]
        consoles = {"UTF-8 locale": ({"LC_ALL": "ja_JP.UTF-8"}, False)}
        if windows():
            # Code page 932 copies UTF-16 from UTF-8 data, its own bytes from Shift-JIS data.
            consoles = {"932": ({}, False),
                        "1252": ({"LANG": "en_US.UTF-8", "LC_ALL": "en_US.UTF-8"}, False),
                        "65001": ({}, True)}  # an application manifest sets the code page
        for console, (env, manifest) in consoles.items():
            if manifest:
                with open(self.program + ".manifest", "w") as f:
                    f.write(UTF8_MANIFEST)
            for data, column, keyword, expected in cases:
                with self.subTest(console=console, column=column, data=data[:20]):
                    set_clipboard(b"previous")
                    path = native_path(self.write("data.csv", data))
                    r = self.zanpo(column, "/F" + path, keyword, env=env)
                    self.assertEqual(r.status, 0, r.err)
                    self.assertClipboard(expected.encode("utf-8"))


@unittest.skipIf(windows(), "the Windows build uses the Win32 clipboard, not helper programs")
class Helpers(ClipboardCase):
    """Which helper program gets the text, and what happens when none takes it."""

    def helper_folder(self, failing=(), real=()):
        """A folder for PATH holding stand-ins that fail at once and links to real helpers."""
        folder = tempfile.mkdtemp(prefix="helpers-", dir=self.dir)
        for name in failing:
            self.stand_in(folder, name, "exit 1\n")
        for name in real:
            os.symlink(shutil.which(name), os.path.join(folder, name))
        return folder

    def stand_in(self, folder, name, script):
        path = os.path.join(folder, name)
        with open(path, "w") as f:
            f.write("#!/bin/sh\n" + script)
        os.chmod(path, 0o755)

    def assertClipboardFailure(self, r, out):
        self.assertEqual(r.out, out)
        self.assertEqual(r.status, 1)
        self.assertTrue(r.err.endswith(CLIPBOARD_FAILURE), r.err)

    def test_unreachable_clipboard_is_a_failure_after_the_lines(self):
        cases = [
            ("no display", True, {}),
            ("empty DISPLAY", False, {"DISPLAY": ""}),
            ("no helper on PATH", False, {"PATH": self.helper_folder()}),
            ("every helper fails", False, {"PATH": self.helper_folder(failing=("xclip", "xsel"))}),
            ("Wayland without wl-copy", True, {"WAYLAND_DISPLAY": "wayland-0",
                                                "PATH": self.helper_folder(real=("xclip",))}),
        ]
        for name, unset, env in cases:
            with self.subTest(name):
                r = self.search(["x,1,one", "x,2,two"], "x", env=env, with_display=not unset)
                self.assertClipboardFailure(r, crlf_lines("x,1,one", "x,2,two"))
                self.assertClipboardKept()

    def test_a_helper_that_fails_unread_is_passed_over(self):
        # The line is longer than a pipe holds, so writing it to an xclip that
        # ended without reading raises SIGPIPE, which must not end zanpo, and
        # the text it lost makes it a failure even with status 0. The next
        # helper must still get all of it.
        long_line = "x" * 300000
        for xclip in ("exit 1\n", "exit 0\n", None):
            with self.subTest(xclip=xclip or "no program: it cannot be started"):
                path = self.helper_folder()
                if xclip is None:
                    with open(os.path.join(path, "xclip"), "wb") as f:
                        f.write(b"\0")
                    os.chmod(os.path.join(path, "xclip"), 0o755)
                else:
                    self.stand_in(path, "xclip", xclip)
                received = os.path.join(path, "received")
                self.stand_in(path, "xsel", f'exec {shutil.which("cat")} > "{received}"\n')
                r = self.search([long_line], "/C1", "x", env={"PATH": path})
                self.assertOutput(r, crlf_lines(long_line))
                with open(received, "rb") as f:
                    self.assertEqual(f.read(), long_line.encode())

    def test_wayland_takes_the_text_first(self):
        path = self.helper_folder(failing=("xclip", "xsel"))
        received = os.path.join(path, "received")
        self.stand_in(path, "wl-copy", f'echo "$@" > "{received}.args"\n'
                      f'exec {shutil.which("cat")} > "{received}"\n')
        r = self.search([ZIP_LINE], "ab", env={"PATH": path, "WAYLAND_DISPLAY": "wayland-0"})
        self.assertOutput(r, crlf_lines(ZIP_LINE))
        with open(received, "rb") as f, open(received + ".args", "rb") as args:
            self.assertEqual((f.read(), args.read()),
                             (b"1234567", b"--type text/plain;charset=utf-8\n"))
        self.assertClipboardKept()

    def test_helpers_that_hang_are_killed_and_fail(self):
        # As on a frozen display: xclip never reads (the text fills its pipe),
        # xsel reads all of it and never ends. Each is killed after a few
        # seconds, with the programs it started, and the next one is tried.
        long_line = "x" * 300000
        path = self.helper_folder()
        received = os.path.join(path, "received")
        sleep = f"{shutil.which('sleep')} 600\n"
        self.stand_in(path, "xclip", sleep)
        self.stand_in(path, "xsel", f'{shutil.which("cat")} > "{received}"\n' + sleep)
        r = self.search([long_line], "/C1", "x", env={"PATH": path})
        self.assertClipboardFailure(r, crlf_lines(long_line))
        with open(received, "rb") as f:
            self.assertEqual(f.read(), long_line.encode())

    def test_a_parent_that_ignores_sigchld_changes_nothing(self):
        # Ignored signals stay ignored in the programs a process starts; with
        # SIGCHLD ignored, no child's status can be waited for.
        data = self.write("d.csv", crlf_lines(ZIP_LINE))
        p = subprocess.run([self.program, "/F" + data, "ab"], capture_output=True,
                           env=dict(os.environ, LC_ALL="C", DISPLAY=display), timeout=120,
                           preexec_fn=lambda: signal.signal(signal.SIGCHLD, signal.SIG_IGN))
        self.assertEqual((p.stdout, p.stderr, p.returncode), (crlf_lines(ZIP_LINE), b"", 0))
        self.assertClipboard(b"1234567")

    @unittest.skipIf(shutil.which("xsel") is None, "xsel is not installed")
    def test_xsel_takes_over_when_xclip_fails(self):
        path = self.helper_folder(failing=("xclip",), real=("xsel",))
        r = self.search([ZIP_LINE], "ab", env={"PATH": path})
        self.assertOutput(r, crlf_lines(ZIP_LINE))
        self.assertClipboard(b"1234567")

    def test_the_error_message_follows_a_utf8_console(self):
        r = self.search(["x"], "x", env={"LC_ALL": "ja_JP.UTF-8"}, with_display=False)
        self.assertEqual(r.status, 1)
        self.assertIn("クリップボードを開くことができません".encode("utf-8"), r.err)


if __name__ == "__main__":
    unittest.main()
