"""What only the Windows build has: the raw command line, drive paths, ".exe" names, the
failure report in the OEM code page, and the Win32 clipboard as X sees it under wine.

Command lines are handed over as typed through batch files run by wine's cmd, which
passes each line to the program untouched; the harness's argument list would be
quoted again by wine on the way in.

Under wine the clipboard reaches X through the desktop process of the wine session:
it takes the DISPLAY of the program that started the session and ends about a second
after the session's last program. So every program here runs on this group's own
Xvfb, and when ctest gives the group a wine prefix of its own (WINEPREFIX), the
module waits for that prefix's previous session to end first and last. Outside such a
session (zanpo run from a Unix shell) the copied text is gone about a second after
zanpo.exe ends; a wine program that stays open, such as a cmd window, keeps it.
"""

import os
import re
import shutil
import subprocess
import time
import unittest
import urllib.parse

import harness
from harness import CONFIG, Case, crlf_lines, native_path, sjis, windows

display = None
xvfb = None


def wait_for_wine_session_end():
    wineserver = os.environ.get("WINESERVER") or shutil.which("wineserver")
    if os.environ.get("WINEPREFIX") and wineserver:
        subprocess.run([wineserver, "-w"], timeout=120, check=False)


def setUpModule():
    global display, xvfb
    if not windows():
        raise unittest.SkipTest("Windows build only")
    for tool in ("Xvfb", "xclip"):
        if shutil.which(tool) is None:
            raise unittest.SkipTest(f"{tool} is not installed")
    wait_for_wine_session_end()
    xvfb, display = harness.start_xvfb()
    os.environ["DISPLAY"] = display
    os.environ.pop("WAYLAND_DISPLAY", None)


def tearDownModule():
    # The next group on this prefix must start a session of its own.
    wait_for_wine_session_end()
    if xvfb is not None:
        xvfb.terminate()
        xvfb.wait(timeout=30)


def wine_environment():
    return dict(os.environ, LANG="ja_JP.UTF-8", LC_ALL="ja_JP.UTF-8", WINEDEBUG="-all")


def wine(*args):
    return CONFIG["emulator"].split(";") + list(args)


class WindowsCase(Case):
    def batch(self, *command_lines):
        """A batch file (Shift-JIS, CR LF) running each command line as typed."""
        text = "@echo off\r\n" + "".join(line + "\r\n" for line in command_lines)
        return native_path(self.write("run.bat", sjis(text)))

    def run_batch(self, *command_lines):
        p = subprocess.run(wine("cmd", "/c", self.batch(*command_lines)), capture_output=True,
                           stdin=subprocess.DEVNULL, cwd=self.dir, env=wine_environment(),
                           timeout=120)
        return p.stdout, p.stderr

    def help_lines(self, program, cwd):
        r = self.run_program(program, "/?", cwd=cwd)
        self.assertEqual((r.status, r.err), (0, b""))
        return r.out.split(b"\r\n")


class CommandLine(WindowsCase):
    LINES = ["大阪府", "大阪 府", "ab cd", "abcd", "x", "c:\\dir\\ x", "y"]

    def test_the_program_splits_its_own_command_line(self):
        program = native_path(self.install())
        data = native_path(self.write("d.txt", crlf_lines(*self.LINES)))
        no_keyword = ["検索する文字列の指定がありません"]
        cases = [
            ('"大阪 府"', ["大阪 府"]),
            ("大阪 府", ["大阪府", "大阪 府"]),
            ('a"b c"d', ["ab cd"]),
            ('"" x', ["x", "c:\\dir\\ x"]),
            ('""""x', ["x", "c:\\dir\\ x"]),
            ('x ""', ["x", "c:\\dir\\ x"]),
            ("\tx\t", ["x", "c:\\dir\\ x"]),
            # A backslash escapes nothing: the C runtime's argv would read one keyword here.
            ('"c:\\dir\\" x', ["c:\\dir\\ x"]),
            # A lone quote at the end gives the empty parameter that ends the count.
            ('"', no_keyword),
            ('x "', ["x", "c:\\dir\\ x"]),
            ('"x', ["x", "c:\\dir\\ x"]),
            ('" y"', []),
        ]
        for tail, expected in cases:
            with self.subTest(tail=tail):
                out, err = self.run_batch(f"{program} /F{data} {tail}")
                self.assertEqual((out, err), (crlf_lines(*expected), b""))


class Paths(WindowsCase):
    def test_default_file_paths_are_drive_paths(self):
        # wine finds names regardless of case, as Windows does; the path shown is the one built.
        cases = [
            ({"work/narvo.csv": "work"}, "work\\narvo.csv"),
            ({"bin/ken_all.csv": "bin"}, "bin\\KEN_ALL.CSV"),
        ]
        for files, shown in cases:
            with self.subTest(shown=shown):
                self.setUp()
                program = self.install()
                work = self.mkdir("work")
                for name in files:
                    self.write(name, "hit\r\n")
                expected = sjis(native_path(self.dir) + "\\" + shown)
                self.assertEqual(self.help_lines(program, work)[-5], expected)
                r = self.run_program(program, "hit", cwd=work)
                self.assertOutput(r, crlf_lines("hit"))

    def test_the_original_name_ignores_the_case_of_the_suffix(self):
        banner = sjis('"narvo.exe" for command-prompt of WindowsXP  version 1.7')
        for name, named in [("NARVO.EXE", False), ("Narvo.Exe", False), ("find.exe", True)]:
            with self.subTest(name=name):
                program = self.path("bin", name)
                os.makedirs(os.path.dirname(program), exist_ok=True)
                shutil.copy2(os.path.join(CONFIG["bin"], "narvo.exe"), program)
                lines = self.help_lines(program, self.dir)
                after_banner = lines[lines.index(banner) + 1]
                row = sjis(' ( "' + name + '" is not original name )')
                self.assertEqual(after_banner == row, named, after_banner)
                os.remove(program)


class FailureReport(WindowsCase):
    def assertReport(self, r, message):
        # The report goes through the OEM code page, which is 932 like the ANSI one here.
        pattern = (rb"^\w+ " + re.escape(sjis("がモジュール narvo.exe の ")) + rb"[0-9A-F]+ "
                   + re.escape(sjis("で発生しました。\r\n" + message + "\r\n\r\n")) + rb"$")
        self.assertEqual((r.out, r.status), (b"", 1))
        self.assertRegex(r.err, pattern)

    def test_a_name_with_wildcards_exists_but_cannot_be_opened(self):
        self.write("data1.txt", "x\r\n")
        r = self.narvo("/F" + native_path(self.path("data*.txt")), "x")
        self.assertReport(r, "I/O エラー (123).")

    def test_a_file_another_program_writes_cannot_be_opened(self):
        path = self.write("held.txt", "x\r\n")
        # cmd holds the file open for appending while pause waits for a key;
        # pause's prompt landing in the file shows the handle is open.
        holder = subprocess.Popen(wine("cmd", "/c", "pause >> " + native_path(path)),
                                  stdin=subprocess.PIPE, stdout=subprocess.DEVNULL,
                                  stderr=subprocess.DEVNULL, env=wine_environment())
        try:
            deadline = time.monotonic() + 60
            while os.path.getsize(path) <= 3 and time.monotonic() < deadline:
                time.sleep(0.05)
            self.assertGreater(os.path.getsize(path), 3, "cmd never opened the file")
            r = self.narvo("/F" + native_path(path), "x")
            self.assertReport(r, "I/O エラー (32).")
        finally:
            holder.communicate(b"\r\n", timeout=60)


class Launcher(WindowsCase):
    """/U goes to the Windows shell; under wine, winebrowser hands it on to the desktop's
    xdg-open (pages) or xdg-email (mail), recorded here by stand-ins."""

    def test_addresses_reach_the_desktop_through_the_windows_shell(self):
        # winebrowser's own lists try /usr/bin/open before xdg-email, and that is
        # xdg-open wherever xdg-utils is installed; the prefix names the one program
        # of each kind, so no desktop package of the machine takes an address.
        for kind, program in (("Browsers", "xdg-open"), ("Mailers", "xdg-email")):
            subprocess.run(wine("reg", "add", r"HKCU\Software\Wine\WineBrowser", "/v", kind,
                                "/d", program, "/f"), stdin=subprocess.DEVNULL,
                           stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                           env=wine_environment(), timeout=120, check=True)
        openers = self.mkdir("openers")
        record = self.path("opened")
        for name in ("xdg-open", "xdg-email"):
            script = os.path.join(openers, name)
            with open(script, "w") as f:
                f.write(f'#!/bin/sh\nprintf "%s %s\\n" "{name}" "$*" > "{record}.part"\n'
                        f'mv "{record}.part" "{record}"\n')
            os.chmod(script, 0o755)
        r = self.run_program(self.install(), "/??")
        zip_page, _, author, mail = re.findall(rb"^ {19}(\S+)\r$", r.out, re.M)
        cases = [
            ("narvo", "/Uzip", "xdg-open " + zip_page.decode()),
            ("zanpo", "/Ukesri", "xdg-open " + author.decode()),
            ("zanpo", "/Umail", "xdg-email " + mail.decode() + "?subject=from [zanpo.exe version 1.7]"),
        ]
        for edition, switch, expected in cases:
            with self.subTest(switch=switch):
                if os.path.exists(record):
                    os.remove(record)
                program = self.install(edition=edition)
                env = {"PATH": openers + os.pathsep + os.environ["PATH"]}
                self.assertOutput(self.run_program(program, switch, env=env), b"")
                deadline = time.monotonic() + 60
                while not os.path.exists(record) and time.monotonic() < deadline:
                    time.sleep(0.1)
                with open(record) as f:
                    # winebrowser percent-encodes what the program handed over as it is.
                    self.assertEqual(urllib.parse.unquote(f.read().rstrip("\n")), expected)


class Clipboard(WindowsCase):
    def read_clipboard(self):
        p = subprocess.run(["xclip", "-o", "-selection", "clipboard"], capture_output=True,
                           env=dict(os.environ, DISPLAY=display), timeout=30)
        return p.stdout if p.returncode == 0 else None

    def test_the_copied_field_outlives_zanpo(self):
        program = native_path(self.install(edition="zanpo"))
        data = native_path(self.write("d.csv", crlf_lines('27127,"53060","5306001","大阪府",0')))
        for switch, expected in [("", "5306001"), ("/C4", "大阪府")]:
            with self.subTest(switch=switch):
                # zanpo runs in a cmd session that stays open (the way it is used), and its
                # text must still be there after zanpo has ended.
                script = self.batch(f"{program} /F{data} {switch} 27127", "echo copied", "pause")
                session = subprocess.Popen(wine("cmd", "/c", script), stdin=subprocess.PIPE,
                                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL,
                                           cwd=self.dir, env=wine_environment())
                try:
                    out = b""
                    while b"copied" not in out:
                        line = session.stdout.readline()
                        self.assertTrue(line, out)
                        out += line
                    self.assertTrue(out.startswith(sjis('27127,"53060","5306001","大阪府",0\r\n')))
                    time.sleep(2)  # longer than wine keeps a session without programs
                    self.assertEqual(self.read_clipboard(), expected.encode("utf-8"))
                finally:
                    session.communicate(b"\r\n", timeout=60)


if __name__ == "__main__":
    unittest.main()
