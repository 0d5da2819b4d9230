"""A UTF-8 console (LC_ALL=C.UTF-8): keywords typed in UTF-8 find the same lines in Shift-JIS and
UTF-8 data, and everything written is UTF-8.

The harness's defaults are the native mode's (LC_ALL=C, Shift-JIS parameters), so every case here
passes its parameters as UTF-8 bytes and sets the locale itself.
"""

import os
import subprocess
import time
import unittest

from harness import Case, emulated, fixture, native_path, windows
import oracle

SJIS = fixture("ken_sample.csv")
UTF8 = fixture("ken_sample_utf8.csv")
UTF8_CONSOLE = {"LC_ALL": "C.UTF-8"}


def setUpModule():
    if windows():
        raise unittest.SkipTest("the UTF-8 console is a POSIX mode")


def utf8(data):
    """Shift-JIS bytes as the UTF-8 console shows them."""
    return data.decode("cp932").encode("utf-8")


class Utf8Console(Case):
    def run_utf8(self, *args, stdin=b"", program="narvo"):
        """Runs program in a UTF-8 locale with the parameters (str) as UTF-8 bytes."""
        encoded = [a if isinstance(a, bytes) else a.encode("utf-8") for a in args]
        return self.run_program(self.install(edition=program), *encoded, stdin=stdin,
                                env=UTF8_CONSOLE)

    def search(self, data, *args):
        path = self.write("data.csv", data)
        return self.run_utf8("/F" + native_path(path), *args)

    def test_shift_jis_and_utf8_data_give_the_same_utf8_lines(self):
        cases = [
            (["大阪", "北区"], False),
            (["大阪府"], False),
            (["県"], False),
            (["4520961"], False),
            (["oap"], False),
            (["レ"], False),  # 0x83 0x8C across a boundary in the Shift-JIS file
            (["熊"], False),
            (["\\"], False),  # a trail byte in the Shift-JIS file, nowhere in the UTF-8 one
            (["大阪"], True),
            (["大阪", "北海道"], True),
        ]
        for keywords, exclude in cases:
            expected = utf8(oracle.select(SJIS, keywords, exclude=exclude))
            args = (["/V"] if exclude else []) + keywords
            for name, data in (("Shift-JIS", SJIS), ("UTF-8", UTF8)):
                with self.subTest(keywords=keywords, exclude=exclude, data=name):
                    self.assertOutput(self.search(data, *args), expected)

    def test_a_dense_search_of_a_large_file(self):
        # Past its first 16 MiB the input is read in full-size blocks, and one
        # block's lines need the conversion's output buffer several times over.
        copies = 17 * 2**20 // len(SJIS) + 1
        data = SJIS * copies
        for args, expected in ((["/V", "zzz"], utf8(data)),
                               (["府"], utf8(oracle.select(SJIS, ["府"])) * copies)):
            with self.subTest(args=args):
                path = self.write("large.csv", data)
                with open(self.path("out.bin"), "w+b") as out:
                    r = self.run_program(self.install(), b"/F" + native_path(path).encode(),
                                         *[a.encode("utf-8") for a in args], env=UTF8_CONSOLE,
                                         stdout=out)
                    out.seek(0)
                    self.assertEqual((r.status, r.err), (0, b""))
                    self.assertTrue(out.read() == expected)

    def test_standard_input_and_quote_mode(self):
        expected = utf8(oracle.select(SJIS, ['"大阪府"', '"北区"']))
        for data in (SJIS, UTF8):
            with self.subTest(utf8_data=data is UTF8):
                self.assertOutput(self.run_utf8("/S", "/W", "大阪府", "北区", stdin=data),
                                  expected)

    def test_a_keyword_cp932_cannot_hold_is_never_found(self):
        # 𠮷 has no CP932 code; ¥ would turn into a backslash, which CP932 reads as "\".
        data = "𠮷野家,C:\\dir\r\n大阪\r\n"
        for keyword in ("𠮷", "¥"):
            with self.subTest(keyword=keyword):
                shift_jis = data.replace("𠮷", "吉").encode("cp932")
                self.assertOutput(self.search(shift_jis, keyword), b"")
                # ... so it excludes nothing either.
                self.assertOutput(self.search(shift_jis, "/V", keyword), utf8(shift_jis))
        self.assertOutput(self.search(data.encode("utf-8"), "𠮷"), "𠮷野家,C:\\dir\r\n".encode())

    def test_bytes_that_do_not_decode_are_written_as_they_are(self):
        data = b"\x91\xe5\x8d\xe3\x83\r\n\x83\x41\r\n"  # 大阪 and a lone lead byte; ア
        self.assertOutput(self.search(data, "大阪"), "大阪".encode() + b"\x83\r\n")

    def test_the_encoding_is_decided_where_the_first_non_ascii_byte_is(self):
        ascii_part = b"00000,\"ascii\",\"line\"\r\n" * 28000  # more than 600 KB
        self.assertGreater(len(ascii_part), 600 * 1024)
        for name, tail in (("Shift-JIS", SJIS), ("UTF-8", UTF8)):
            data = ascii_part + tail
            expected = utf8(oracle.select(SJIS, ["大阪", "北区"]))
            with self.subTest(data=name, input="file"):
                self.assertOutput(self.search(data, "大阪", "北区"), expected)
            with self.subTest(data=name, input="standard input"):
                self.assertOutput(self.run_utf8("/S", "大阪", "北区", stdin=data), expected)
            with self.subTest(data=name, keyword="ASCII"):
                r = self.search(data, "ascii")
                self.assertEqual(r.out, ascii_part)

    def test_the_decision_never_depends_on_where_reads_end(self):
        # ﾃｱ (C3 B1) is UTF-8 by itself; its whole line decides. The first byte
        # >= 0x80 lands around a file's 64 KiB reads and a pipe's writes.
        sjis_line = b"\xc3\xb1\xb1,\x91\xe5\x8d\xe3\r\n"
        utf8_line = b"\xc3\xb1" + "ｱ,大阪\r\n".encode()
        for line, expected in ((sjis_line, utf8(sjis_line)), (utf8_line, utf8_line)):
            for high in range(65536 - 3, 65536 + 2):
                with self.subTest(line=line, first_high_byte_at=high):
                    data = b"x" * (high - 2) + b"\r\n" + line
                    self.assertOutput(self.search(data, "大阪"), expected)
            data = b"abc\r\n" + line
            for cut in range(5, 10):
                with self.subTest(line=line, pipe_write_ends_at=cut):
                    p = subprocess.Popen(emulated([self.install(), "/S", "大阪".encode()]),
                                         stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                                         env=dict(os.environ, **UTF8_CONSOLE))
                    p.stdin.write(data[:cut])
                    p.stdin.flush()
                    time.sleep(0.05)
                    out, _ = p.communicate(data[cut:], timeout=30)
                    self.assertEqual(out, expected)

    def test_utf8_data_matches_on_utf8_character_boundaries(self):
        # あ阪 is E3 81 82 E9 98 AA; read as Shift-JIS, 82 E9 would pair up and hide 阪.
        data = "あ阪\r\n阪\r\nあ\r\n".encode("utf-8")
        self.assertOutput(self.search(data, "阪"), "あ阪\r\n阪\r\n".encode("utf-8"))
        # Bytes of a character that start on a continuation byte are no occurrence.
        self.assertOutput(self.search(data, b"\x98\xaa"), b"")

    def test_messages_and_help_screens_are_utf8(self):
        r = self.run_utf8("/Fmissing.csv", "x")
        self.assertOutput(r, "指定した対象ファイルが見つかりません\r\n".encode("utf-8"))
        path = self.write("data.csv", SJIS)
        self.assertOutput(self.run_utf8("/F" + native_path(path)),
                          "検索する文字列の指定がありません\r\n".encode("utf-8"))
        for switch in ("/?", "/??"):
            with self.subTest(switch=switch):
                program = self.install()
                native = self.run_program(program, switch)
                r = self.run_program(program, switch.encode(), env=UTF8_CONSOLE)
                self.assertOutput(r, utf8(native.out))
                self.assertIn("郵便番号".encode("utf-8"), r.out)

    def test_an_environment_whose_locale_cannot_load_still_names_the_console(self):
        # xx_YY is installed nowhere: setlocale refuses the whole environment, and
        # the codeset named by the first non-empty of LC_ALL, LC_CTYPE, LANG decides.
        unset = {"LC_ALL": "", "LC_CTYPE": "", "LANG": "", "LC_MESSAGES": ""}
        cases = [
            ({"LANG": "ja_JP.UTF-8", "LC_MESSAGES": "xx_YY.UTF-8"}, True),
            ({"LC_CTYPE": "UTF-8"}, True),  # what an ssh session from macOS sends
            ({"LC_CTYPE": "xx_YY.utf8@euro", "LANG": "xx_YY.EUC-JP"}, True),
            ({"LC_CTYPE": "C.UTF-8"}, True),  # an empty LC_ALL counts as unset
            ({"LC_ALL": "xx_YY.EUC-JP", "LANG": "C.UTF-8"}, False),
            ({"LANG": "xx_YY.EUC-JP"}, False),
            ({"LANG": "xx_YY", "LC_MESSAGES": "UTF-8"}, False),
            ({}, False),  # nothing set: the POSIX locale
        ]
        message = "指定した対象ファイルが見つかりません\r\n"
        program = self.install()
        for env, utf8_console in cases:
            with self.subTest(env=env):
                r = self.run_program(program, b"/Fmissing.csv", b"x", env=dict(unset, **env))
                self.assertOutput(r, message.encode("utf-8" if utf8_console else "cp932"))

    def test_the_failure_report_is_utf8(self):
        path = self.write("data.csv", SJIS)
        r = self.run_utf8("/F" + native_path(path), "/C99999999999", "x", program="zanpo")
        self.assertEqual(r.status, 1)
        self.assertIn("'99999999999' は整数ではありません".encode("utf-8"), r.err)
