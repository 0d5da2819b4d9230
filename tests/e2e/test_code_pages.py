"""The Windows programs in each set-up of the system: code page 932 (the native mode), code page
1252 (LANG=en_US.UTF-8 under wine) and the UTF-8 code page 65001 (an application manifest beside
the program, which only the tests place there), and a console: a pseudo-terminal, from which wine
makes one, so that what the program shows there is read as the terminal gets it.

Outside the native mode the programs speak UTF-8 whatever the data's encoding, as on a POSIX UTF-8
console; wine hands the program the parameters typed in UTF-8 either way.
"""

import fcntl
import os
import pty
import re
import select
import struct
import subprocess
import termios
import time
import tty
import unittest

from harness import CONFIG, Case, crlf_lines, fixture, native_path, sjis, windows
import oracle

SJIS = fixture("ken_sample.csv")
UTF8 = fixture("ken_sample_utf8.csv")

CP932 = {"LANG": "ja_JP.UTF-8", "LC_ALL": "ja_JP.UTF-8"}
CP1252 = {"LANG": "en_US.UTF-8", "LC_ALL": "en_US.UTF-8"}

# wine takes the active code page from an application manifest beside the program.
UTF8_MANIFEST = """<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<assembly manifestVersion="1.0" xmlns="urn:schemas-microsoft-com:asm.v1">
  <assemblyIdentity type="win32" name="narvo.tests" version="1.0.0.0"/>
  <application>
    <windowsSettings>
      <activeCodePage xmlns="http://schemas.microsoft.com/SMI/2019/WindowsSettings">UTF-8</activeCodePage>
    </windowsSettings>
  </application>
</assembly>
"""

# The code pages of the UTF-8 mode: the environment of a run, and whether the program gets a manifest.
UTF8_MODES = {"1252": (CP1252, False), "65001": (CP932, True)}


def setUpModule():
    if not windows():
        raise unittest.SkipTest("Windows build only")
    locales = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    if "en_US.utf8" not in locales:
        raise unittest.SkipTest("the en_US.UTF-8 locale is not generated")


def utf8(data):
    """Shift-JIS bytes as the UTF-8 mode writes them."""
    return data.decode("cp932").encode("utf-8")


def wine(*args):
    return CONFIG["emulator"].split(";") + list(args)


# What a terminal gets besides the text: cursor switching and moves.
TERMINAL_CONTROLS = re.compile(rb"\x1b\[[0-9;?]*[A-Za-z]")


def run_on_console(command, env, typed=b"", cwd=None, timeout=60):
    """Runs command (wine's) with a pseudo-terminal as its console; returns what the terminal
    showed, controls removed and line ends as LF, and the exit status."""
    master, slave = pty.openpty()
    tty.setraw(slave)  # only wine's console echoes and edits what is typed
    # Wide enough that no line of the data wraps.
    fcntl.ioctl(slave, termios.TIOCSWINSZ, struct.pack("HHHH", 50, 400, 0, 0))
    process = subprocess.Popen(command, stdin=slave, stdout=slave, stderr=slave, env=env, cwd=cwd,
                               start_new_session=True)
    os.close(slave)
    if typed:
        os.write(master, typed)
    shown = b""
    deadline = time.monotonic() + timeout
    quiet_after_exit = None  # when the program has ended: the time the terminal went quiet
    try:
        # wine's console writes to the terminal from a process of its own, which may still
        # be at it when the program has ended; it is done when it closes the terminal (or,
        # where a wine process it started keeps it open, once it has long been quiet).
        while time.monotonic() < deadline:
            ready, _, _ = select.select([master], [], [], 0.1)
            if ready:
                try:
                    data = os.read(master, 65536)
                except OSError:  # every process holding the terminal has closed it
                    break
                if not data:
                    break
                shown += data
                quiet_after_exit = None
            elif process.poll() is not None:
                quiet_after_exit = quiet_after_exit or time.monotonic()
                if time.monotonic() - quiet_after_exit > 3:
                    break
        status = process.wait(timeout=max(1, deadline - time.monotonic()))
    finally:
        if process.poll() is None:
            process.kill()
            process.wait()
        os.close(master)
    shown = TERMINAL_CONTROLS.sub(b"", shown)
    return re.sub(rb"\r+\n", b"\n", shown), status


def set_up_for(mode, program):
    """The environment of program in a UTF-8 mode ("1252", "65001"), its manifest written."""
    env, manifest = UTF8_MODES[mode]
    if manifest:
        with open(program + ".manifest", "w") as f:
            f.write(UTF8_MANIFEST)
    return env


class CodePageCase(Case):
    def install_for(self, mode, edition="narvo", name=None, folder="bin"):
        """The program of edition installed for a UTF-8 mode, and its environment."""
        program = self.install(name, folder=folder, edition=edition)
        return program, set_up_for(mode, program)

    def search(self, mode, data, *args):
        program, env = self.install_for(mode)
        path = self.write("data.csv", data)
        return self.run_program(program, "/F" + native_path(path), *args, env=env)


class NativeMode(CodePageCase):
    """Code page 932: Shift-JIS data byte for byte, and UTF-8 data found with the same keywords."""

    def run_native(self, data, *args):
        path = self.write("data.csv", data)
        return self.run_program(self.install(), "/F" + native_path(path), *args, env=CP932)

    def test_utf8_data_gives_the_records_of_the_shift_jis_file(self):
        bom = b"\xef\xbb\xbf"
        first_line = UTF8.split(b"\r\n")[0] + b"\r\n"
        for keywords in (["大阪", "北区"], ["北海道"], ["oap"], ["/V", "県"], ["/W", "北区"]):
            expected = oracle.select(SJIS, [k for k in keywords if not k.startswith("/")],
                                     exclude="/V" in keywords)
            if "/W" in keywords:
                expected = oracle.select(SJIS, ['"北区"'])
            with self.subTest(keywords=keywords, data="Shift-JIS"):
                self.assertOutput(self.run_native(SJIS, *keywords), expected)
            with self.subTest(keywords=keywords, data="UTF-8"):
                self.assertOutput(self.run_native(UTF8, *keywords), utf8(expected))
            with self.subTest(keywords=keywords, data="UTF-8 with a byte-order mark"):
                # Lines are written as they are: the mark stays on the first one.
                marked = utf8(expected)
                if marked.startswith(first_line):
                    marked = bom + marked
                self.assertOutput(self.run_native(bom + UTF8, *keywords), marked)

    def test_letters_fold_alike_and_matches_start_on_characters(self):
        lines = ["ＡＢＣ全角", "ａｂｃ全角", "ΑΒΓ", "αβγ", "ДОМ", "дом", "北x", "南", "xyz"]
        cases = [
            (["ａｂｃ"], [0, 1]), (["ＡＢＣ"], [0, 1]), (["βγ"], [2, 3]), (["Дом"], [4, 5]),
            # 北 is E5 8C 97 in UTF-8, and 0x97 a Shift-JIS lead byte: x after it is a character.
            (["x"], [6, 8]), (["北X"], [6]),
        ]
        for keywords, picked in cases:
            expected = crlf_lines(*[lines[i] for i in picked])
            with self.subTest(keywords=keywords, data="Shift-JIS"):
                self.assertOutput(self.run_native(crlf_lines(*lines), *keywords), expected)
            with self.subTest(keywords=keywords, data="UTF-8"):
                data = "".join(line + "\r\n" for line in lines).encode("utf-8")
                self.assertOutput(self.run_native(data, *keywords), utf8(expected))

    def test_half_width_katakana_alone_keeps_a_file_shift_jis(self):
        # ﾃｱ is C3 B1 in Shift-JIS, which is also valid UTF-8 (ñ), but of two bytes only.
        data = crlf_lines("ﾃｱ,1", "大阪,2", "ｶﾅ,3")
        for keyword, picked in (("大阪", "大阪,2"), ("ｶﾅ", "ｶﾅ,3"), ("ﾃｱ", "ﾃｱ,1")):
            with self.subTest(keyword=keyword):
                self.assertOutput(self.run_native(data, keyword), crlf_lines(picked))


class Utf8Mode(CodePageCase):
    def test_both_data_encodings_give_the_same_utf8_lines(self):
        cases = [
            (["大阪", "北区"], False),
            (["大阪府"], False),
            (["レ"], False),  # 0x83 0x8C across a boundary in the Shift-JIS file
            (["\\"], False),  # a trail byte in the Shift-JIS file, nowhere in the UTF-8 one
            (["oap"], False),  # ASCII folds
            (["大阪"], True),
        ]
        for mode in UTF8_MODES:
            for keywords, exclude in cases:
                expected = utf8(oracle.select(SJIS, keywords, exclude=exclude))
                args = (["/V"] if exclude else []) + keywords
                for name, data in (("Shift-JIS", SJIS), ("UTF-8", UTF8)):
                    with self.subTest(code_page=mode, keywords=keywords, data=name):
                        self.assertOutput(self.search(mode, data, *args), expected)
            with self.subTest(code_page=mode, input="standard input"):
                program, env = self.install_for(mode)
                r = self.run_program(program, "/S", "/W", "大阪府", stdin=SJIS, env=env)
                self.assertOutput(r, utf8(oracle.select(SJIS, ['"大阪府"'])))

    def test_japanese_names_of_files_folders_and_the_program(self):
        expected = utf8(oracle.select(SJIS, ["北区", "大阪"]))
        for mode in UTF8_MODES:
            with self.subTest(code_page=mode, file="/F"):
                self.setUp()
                program, env = self.install_for(mode)
                self.write("大阪.csv", SJIS)
                r = self.run_program(program, "/F大阪.csv", "北区", "大阪", env=env)
                self.assertOutput(r, expected)
            with self.subTest(code_page=mode, file="default"):
                # The program's own name and folder pick the file (program folder, then current
                # folder), and the help screen shows them.
                self.setUp()
                program, env = self.install_for(mode, name="郵便", folder="道具")
                self.write("道具/郵便.csv", UTF8)
                work = self.mkdir("作業")
                r = self.run_program(program, "北区", "大阪", cwd=work, env=env)
                self.assertOutput(r, expected)
                r = self.run_program(program, "/?", cwd=work, env=env)
                shown = native_path(self.path("道具", "郵便.csv")).encode("utf-8")
                self.assertIn(b"\r\n" + shown + b"\r\n", r.out)
                self.assertIn(' ( "郵便.exe" is not original name )\r\n'.encode("utf-8"), r.out)
                self.write("作業/郵便.csv", "hit\r\n")
                self.assertOutput(self.run_program(program, "hit", cwd=work, env=env),
                                  b"hit\r\n")

    def test_messages_help_screens_and_the_failure_report_are_utf8(self):
        for mode in UTF8_MODES:
            with self.subTest(code_page=mode, message="no such file"):
                program, env = self.install_for(mode)
                r = self.run_program(program, "/F見つからない.csv", "x", env=env)
                self.assertOutput(r, "指定した対象ファイルが見つかりません\r\n".encode("utf-8"))
            for switch in ("/?", "/??"):
                with self.subTest(code_page=mode, switch=switch):
                    self.setUp()
                    program = self.install()
                    native = self.run_program(program, switch, env=CP932)
                    r = self.run_program(program, switch, env=set_up_for(mode, program))
                    self.assertOutput(r, utf8(native.out))
                    self.assertIn("郵便番号".encode("utf-8"), r.out)
            with self.subTest(code_page=mode, message="failure report"):
                program, env = self.install_for(mode, edition="zanpo")
                path = self.write("data.csv", SJIS)
                r = self.run_program(program, "/F" + native_path(path), "/C99999999999", "x",
                                     env=env)
                self.assertEqual((r.out, r.status), (b"", 1))
                self.assertIn("がモジュール zanpo.exe の ".encode("utf-8"), r.err)
                self.assertIn("'99999999999' は整数ではありません".encode("utf-8"), r.err)


class Console(CodePageCase):
    """What the terminal shows is the characters, in every mode; files still get the bytes."""

    def console(self, program, *args, env, typed=b""):
        environment = self.environment(env)
        environment["WINEDEBUG"] = "-all"
        return run_on_console(wine(program, *args), environment, typed=typed, cwd=self.dir)

    def test_selected_lines_and_messages_show_as_characters(self):
        expected = oracle.select(SJIS, ["大阪", "北区"]).decode("cp932").replace("\r\n", "\n")
        sjis_path = native_path(self.write("sjis.csv", SJIS))
        utf8_path = native_path(self.write("utf8.csv", UTF8))
        native = self.install("native")
        runs = [("932", native, CP932, sjis_path), ("932", native, CP932, utf8_path)]
        for mode in UTF8_MODES:
            program, env = self.install_for(mode, name="narvo" + mode)
            runs += [(mode, program, env, sjis_path), (mode, program, env, utf8_path)]
        for mode, program, env, path in runs:
            with self.subTest(code_page=mode, data=path):
                shown, status = self.console(program, "/F" + path, "大阪", "北区", env=env)
                self.assertEqual((shown.decode("utf-8"), status), (expected, 0))
        with self.subTest(code_page="932", data="UTF-8 with a byte-order mark"):
            # The mark is the file's, not a character of its first line.
            path = native_path(self.write("bom.csv", b"\xef\xbb\xbf" + UTF8))
            shown, status = self.console(native, "/F" + path, "01101", "0600000", env=CP932)
            self.assertEqual((shown, status), (UTF8.split(b"\r\n")[0] + b"\n", 0))
        with self.subTest(message="no such file"):
            program, env = self.install_for("1252")
            shown, status = self.console(program, "/Fnone.csv", "x", env=env)
            self.assertEqual((shown, status), ("指定した対象ファイルが見つかりません\n".encode(), 0))

    def test_typed_lines_are_read_as_characters(self):
        # Ctrl-Z at the start of a line ends what is typed.
        # CP932 has no Hangul. (wine's console reads a character beyond U+FFFF as two U+FFFD.)
        typed = "大阪市北区\r한글\r東京\r\x1a\r".encode("utf-8")
        for mode in ("932",) + tuple(UTF8_MODES):
            with self.subTest(code_page=mode):
                if mode == "932":
                    program, env = self.install("native"), CP932
                else:
                    program, env = self.install_for(mode, name="narvo" + mode)
                shown, status = self.console(program, "/S", "/V", "東京", env=env, typed=typed)
                self.assertEqual(status, 0, shown)
                lines = shown.decode("utf-8", "replace").split("\n")
                # The console echoes each typed line; each selected one shows once more.
                self.assertEqual(lines.count("大阪市北区"), 2, shown)
                self.assertEqual(lines.count("東京"), 1, shown)
                if mode != "932":
                    self.assertEqual(lines.count("한글"), 2, shown)

    def test_chcp_65001_makes_the_utf8_mode(self):
        program = native_path(self.install())
        data = native_path(self.write("sjis.csv", SJIS))
        out = native_path(self.path("out.txt"))
        script = self.write("run.bat", sjis(
            "@echo off\r\n"
            f"{program} /F{data} 27127 北区 > {out}.932\r\n"
            "chcp 65001 > nul\r\n"
            f"{program} /F{data} 27127 北区 > {out}\r\n"
            f"{program} /F{data} 27127 北区\r\n"))
        environment = self.environment(CP932)
        environment["WINEDEBUG"] = "-all"
        shown, status = run_on_console(wine("cmd", "/c", native_path(script)), environment,
                                       cwd=self.dir)
        expected = oracle.select(SJIS, ["27127", "北区"])
        self.assertEqual(status, 0, shown)
        with open(self.path("out.txt.932"), "rb") as f:
            self.assertEqual(f.read(), expected)  # the native mode before chcp
        with open(self.path("out.txt"), "rb") as f:
            self.assertEqual(f.read(), utf8(expected))
        self.assertEqual(shown, utf8(expected).replace(b"\r\n", b"\n"))


if __name__ == "__main__":
    unittest.main()
