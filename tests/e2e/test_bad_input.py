"""Bad input of every kind: binary data, huge and odd lines, files that change
while they are read, devices, FIFOs, unreadable files, odd parameter bytes and
numbers at the edge of 32 bits. Each has a defined
result; none may crash, hang or write a line the input does not hold."""

import hashlib
import os
import stat
import threading
import time
import unittest

from harness import Case, crlf_lines, native_path, sjis, windows

posix_only = unittest.skipIf(windows(), "POSIX files, devices and argv bytes")

# The largest input of the group; big enough that a second copy of it shows.
HUGE_LINE = 200 * 1024 * 1024


def read_lines(data):
    """The lines a text file holds: LF or CR LF ends a line, a lone CR is
    dropped, Ctrl-Z ends the input where a line begins and otherwise ends the
    line and skips the rest of it."""
    lines, i = [], 0
    while i < len(data) and data[i] != 0x1A:
        line, more = bytearray(), True
        while True:
            if i == len(data):
                more = False
                break
            c = data[i]
            i += 1
            if c == 0x0A:
                break
            if c == 0x0D:
                if i < len(data) and data[i] == 0x0A:
                    i += 1
                    break
                continue
            if c == 0x1A:
                while i < len(data) and data[i] not in (0x0A, 0x1A):
                    i += 1
                more = i < len(data) and data[i] == 0x0A
                i += 1
                break
            line.append(c)
        lines.append(bytes(line))
        if not more:
            break
    return lines


def file_digest(path, tail=b""):
    h = hashlib.sha256()
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            h.update(block)
    h.update(tail)
    return h.hexdigest(), os.path.getsize(path) + len(tail)


class BadInput(Case):
    def setUp(self):
        super().setUp()
        self.program = self.install()

    def search(self, data, *args, **kw):
        """Searches data written to a file with /F; args follow the /F parameter."""
        path = native_path(self.write("data.txt", data))
        return self.run_program(self.program, "/F" + path, *args, **kw)

    def start(self, *args, **kw):
        return self.start_program(self.program, *args, **kw)

    # --- data no text file should hold --------------------------------------
    def test_every_byte_value(self):
        # Every byte in every order the structure bytes allow: each one next to
        # LF, CR and Ctrl-Z, and a stretch of all 256 values in a row.
        text = bytes(b for b in range(256) if b not in (0x0A, 0x0D, 0x1A))
        data = text * 3 + b"\n" + bytes(range(256)) * 3
        data += b"".join(bytes([b, e]) for b in range(256) for e in (0x0A, 0x0D, 0x0A, 0x1A))
        data += bytes(range(255, -1, -1)) + b"\r"
        expected = b"".join(line + b"\r\n" for line in read_lines(data))
        self.assertTrue(set(text) <= set(expected))
        # /V with a keyword the data never holds selects every line.
        self.assertOutput(self.search(data, "/V", "zzzzz"), expected)
        self.assertOutput(self.search(data, "zzzzz"), b"")

    @unittest.skipIf(windows(), "wine takes parameters as UTF-8, so no lone lead byte")
    def test_lines_of_lead_bytes_only(self):
        lines = {
            "even": b"\x81" * 1000,
            "odd": b"\x81" * 999,
            "pairs": b"\xe0\x81" * 500,
            "A as trail byte": b"\x81\x81\x81A",
            "A on its own": b"\x81\x81A",
            "lone lead": b"\xfc",
        }
        data = b"".join(v + b"\r\n" for v in lines.values())
        cases = [
            (b"\x81\x81", False, ["even", "odd", "A as trail byte", "A on its own"]),
            (b"\x81", False, ["even", "odd", "A as trail byte", "A on its own"]),
            (b"a", False, ["A on its own"]),
            (b"\x81A", False, ["A as trail byte"]),
            (b"\x81a", False, []),  # a trail byte never folds, in the keyword or the line
            (b"\xe0", False, ["pairs"]),
            (b"\x81\xe0", False, []),  # only across a character boundary
            (b"\xfc", False, ["lone lead"]),
            (b"\x81", True, ["pairs", "lone lead"]),
            # Eight keywords or more in exclude mode: every occurrence of 81 E0
            # in "pairs" starts on a trail byte, so the line is decided as a
            # whole after a few; the line after it holds 81 41 on a boundary.
            ([b"\x81\xe0", b"\x81A"] + [b"q%d" % n for n in range(6)], True,
             ["even", "odd", "pairs", "A on its own", "lone lead"]),
        ]
        for keywords, exclude, selected in cases:
            keywords = keywords if isinstance(keywords, list) else [keywords]
            with self.subTest(keywords=keywords, exclude=exclude):
                args = (["/V"] if exclude else []) + keywords
                self.assertOutput(self.search(data, *args),
                                  b"".join(lines[k] + b"\r\n" for k in selected))

    def test_nul_filled_files(self):
        cases = [
            ("one megabyte of NUL", b"\0" * (1 << 20), "/V", b"\0" * (1 << 20) + b"\r\n"),
            ("NUL lines", b"\0\n" * 1000, "/V", b"\0\r\n" * 1000),
            ("no keyword is found in NUL", b"\0" * 4096 + b"\n", None, b""),
            # A keyword after a NUL is never found, but a selected line is written whole.
            ("keyword after NUL", b"\0needle\nneedle\0\n", None, b"needle\0\r\n"),
            ("keyword after NUL, exclude", b"\0needle\nneedle\0\n", "/V", b"\0needle\r\n"),
        ]
        for name, data, switch, expected in cases:
            with self.subTest(name):
                args = ([switch] if switch else []) + ["needle"]
                self.assertOutput(self.search(data, *args), expected)

    @unittest.skipIf(windows(), "too slow under wine for CI")
    def test_a_200_megabyte_line(self):
        # Written in blocks and compared by digest: the test never holds the line.
        path = self.path("huge.txt")
        block = b"0123456789abcdefGHIJKLMNOPQRSTUV" * 32768
        h = hashlib.sha256()
        with open(path, "wb") as f:
            for _ in range(HUGE_LINE // len(block)):
                f.write(block)
                h.update(block)
            f.write(b"NEEDLE")
            h.update(b"NEEDLE\r\n")
        line_digest = (h.hexdigest(), HUGE_LINE + len(b"NEEDLE\r\n"))
        out_path = self.path("out.bin")
        cases = [("needle", line_digest), ("needlf", None), ("3456789abcdefghijk", line_digest)]
        for keyword, expected in cases:
            with self.subTest(keyword=keyword):
                with open(out_path, "wb") as out:
                    r = self.run_program(self.program, "/F" + path, keyword, stdout=out,
                                         timeout=600)
                self.assertEqual((r.status, r.err), (0, b""))
                if expected:
                    self.assertEqual(file_digest(out_path), expected)
                else:
                    self.assertEqual(os.path.getsize(out_path), 0)

    # --- files that change while they are read -------------------------------
    # A file of 400,000 lines (9.6 MB) and one of 2,000,000 (48 MB), read this
    # far before the file changes, which then finds narvo held (by the unread
    # pipe) at most a few MiB further on.
    FILE_KINDS = [("small", 400000, 4096), ("large", 2000000, 20 << 20)]

    @staticmethod
    def numbered_lines(count):
        return b"".join(b"line %07d of the file\r\n" % i for i in range(count))

    @staticmethod
    def read_output(process, count):
        """count bytes of the output, read from the pipe itself: finish() reads
        it unbuffered, so nothing may wait in a buffer meanwhile."""
        data = b""
        while len(data) < count:
            piece = os.read(process.stdout.fileno(), count - len(data))
            if not piece:
                break
            data += piece
        return data

    @posix_only
    def test_a_file_that_grows_while_read(self):
        for kind, lines, held in self.FILE_KINDS:
            with self.subTest(kind):
                original = self.numbered_lines(lines)
                path = self.write("grow.txt", original)
                p = self.start("/F" + path, "/V", "zzz")
                first = self.read_output(p, held)
                added = b"".join(b"appended %05d\r\n" % i for i in range(5000))
                with open(path, "ab") as f:
                    for i in range(0, len(added), 30 * 16):
                        f.write(added[i:i + 30 * 16])
                        f.flush()
                out, err, status = self.finish(p)
                self.assertEqual((status, err), (0, b""))
                self.assertEqual(first + out, original + added)

    @posix_only
    def test_a_file_that_shrinks_while_read(self):
        # Also on a UTF-8 console, where each line is converted after it was
        # found: what it writes comes from the bytes read before the cut.
        def shown(data, console):
            if console == "native":
                return data
            # A line cut where a read ended may end in a lead byte, written as it is.
            try:
                return data.decode("cp932").encode("utf-8")
            except UnicodeDecodeError:
                return data[:-1].decode("cp932").encode("utf-8") + data[-1:]

        for kind, count, held in self.FILE_KINDS:
            original = b"".join(b"line %07d of the file \x8c\xa7\r\n" % i for i in range(count))
            cut = len(original) * 3 // 4  # a line boundary
            for console, env, name, size in [("native", None, "far ahead of narvo", cut),
                                             ("native", None, "to nothing", 0),
                                             ("UTF-8", {"LC_ALL": "C.UTF-8"}, "to nothing", 0)]:
                with self.subTest(kind=kind, console=console, cut=name):
                    path = self.write("shrink.txt", original)
                    p = self.start("/F" + path, "/V", "zzz", env=env)
                    first = self.read_output(p, held)
                    os.truncate(path, size)
                    out, err, status = self.finish(p)
                    out = first + out
                    self.assertEqual((status, err), (0, b""))
                    if size:
                        self.assertEqual(out, shown(original[:size], console))
                        continue
                    # Whatever was held before the cut: whole lines of the
                    # file, the last one cut where a read ended.
                    self.assertTrue(out.endswith(b"\r\n"))
                    lines = out[:-2].split(b"\r\n")
                    real = original.split(b"\r\n")
                    whole = len(lines) - 1
                    self.assertEqual(b"\r\n".join(lines[:whole]),
                                     shown(b"\r\n".join(real[:whole]), console))
                    last = real[len(lines) - 1]
                    self.assertIn(lines[-1],
                                  [shown(last[:n], console) for n in range(len(last) + 1)])

    @posix_only
    def test_fifo_fed_slowly(self):
        # Lines cut across writes, CR and LF of one line end in different writes.
        pieces = [b"first li", b"ne\r", b"\nsecond\r", b"\n", b"third", b" line\nfourth\r", b"\n",
                  b"x" * 100000, b"\r\nlast"]
        data = b"".join(pieces)
        expected = b"".join(line + b"\r\n" for line in read_lines(data))

        def feed(fifo):
            with open(fifo, "wb", buffering=0) as f:
                for piece in pieces:
                    f.write(piece)
                    time.sleep(0.05)

        for via in ("/F", "/S"):
            with self.subTest(via=via):
                fifo = self.path("fifo" + via[1])
                os.mkfifo(fifo)
                writer = threading.Thread(target=feed, args=(fifo,))
                writer.start()
                if via == "/F":
                    p = self.start("/F" + fifo, "/V", "zzz")
                else:
                    with open(fifo, "rb") as stdin:
                        p = self.start("/S", "/V", "zzz", stdin=stdin)
                out, err, status = self.finish(p, timeout=60)
                writer.join()
                self.assertEqual((out, err, status), (expected, b"", 0))

    # --- devices and unreadable files ---------------------------------------
    @posix_only
    def test_dev_null(self):
        r = self.run_program(self.program, "/F/dev/null", "x")
        self.assertOutput(r, b"")
        with open("/dev/null", "rb") as null:
            p = self.start("/S", "/V", "x", stdin=null)
        self.assertEqual(self.finish(p), (b"", b"", 0))

    @posix_only
    def test_unreadable_files(self):
        # As root no permission denies a read; the files of /proc that open but
        # refuse to be read stand in for a failing disk.
        cases = [("/proc/self/mem", "I/O エラー (5).")]
        if os.geteuid() == 0:
            cases.append(("/proc/self/clear_refs", "I/O エラー (22)."))
        else:
            cases.append(("/proc/self/clear_refs", "ファイルへのアクセスが拒否されました."))
        for path, message in cases:
            with self.subTest(path=path):
                r = self.run_program(self.program, "/F" + path, "x")
                self.assertEqual((r.out, r.status), (b"", 1))
                self.assertTrue(r.err.endswith(b"\r\n" + sjis(message) + b"\r\n\r\n"), r.err)

    # --- parameters -----------------------------------------------------------
    @posix_only
    def test_every_parameter_byte(self):
        # One line "<b>" per byte value b a line can hold; each byte as a
        # keyword of its own finds its line (and, for a letter, the other case).
        usable = [b for b in range(1, 256) if b not in (0x0A, 0x0D, 0x1A)]
        data = b"".join(b"<" + bytes([b]) + b">\r\n" for b in usable)
        path = self.write("bytes.txt", data)

        def fold(b):
            return b + 32 if 0x41 <= b <= 0x5A else b

        for b in usable:
            if b in b"<>":
                continue
            with self.subTest(byte=b):
                r = self.run_program(self.program, "/F" + path, bytes([b]))
                expected = b"".join(b"<" + bytes([c]) + b">\r\n" for c in usable
                                    if fold(c) == fold(b))
                self.assertOutput(r, expected)
        everything = bytes(range(1, 256))
        with self.subTest("all bytes in one keyword"):
            self.assertOutput(self.run_program(self.program, "/F" + path, everything), b"")
            self.assertOutput(self.run_program(self.program, "/F" + path, "/V", everything), data)
        with self.subTest("all bytes as a file name"):
            self.assertOutput(self.run_program(self.program, b"/F" + everything, "x"),
                              crlf_lines("指定した対象ファイルが見つかりません"))

    def test_numbers_at_the_edge_of_32_bits(self):
        # /W: a number beyond 3 means no quotes, a number beyond 32 bits is a failure.
        data = b'1,"ab","1234567","cd"\r\nx,ab,y\r\n/C2147483648\r\n'
        both = b'1,"ab","1234567","cd"\r\nx,ab,y\r\n'
        cases = [
            (["/W2147483647", "ab"], both, None),
            (["/W0000000000001", "ab"], b'1,"ab","1234567","cd"\r\n', None),
            (["/W00000000000000000000000000003", "ab"], b'1,"ab","1234567","cd"\r\n', None),
            (["/W2147483648", "ab"], b"", "2147483648"),
            (["/W99999999999", "ab"], b"", "99999999999"),
            (["/W4294967297", "ab"], b"", "4294967297"),  # 1 once cut to 32 bits
        ]
        for args, out, failing in cases:
            with self.subTest(args=args):
                r = self.search(data, *args)
                if failing:
                    self.assertEqual((r.out, r.status), (b"", 1))
                    self.assertTrue(r.err.endswith(
                        b"\r\n'" + failing.encode() + b"'" + sjis(" は整数ではありません.")
                        + b"\r\n\r\n"), r.err)
                else:
                    self.assertOutput(r, out)
        with self.subTest("/C is a keyword in the plain edition"):
            self.assertOutput(self.search(data, "/C2147483648"), b"/C2147483648\r\n")


@posix_only
class ClipboardEdges(Case):
    """zanpo with a recording stand-in for xclip: what reaches the clipboard."""

    def setUp(self):
        super().setUp()
        self.program = self.install(edition="zanpo")
        helpers = self.mkdir("helpers")
        self.clipboard = self.path("clipboard.bin")
        xclip = os.path.join(helpers, "xclip")
        with open(xclip, "w") as f:
            f.write('#!/bin/sh\ncat > "%s"\n' % self.clipboard)
        os.chmod(xclip, stat.S_IRWXU)
        self.env = {"PATH": helpers + ":/usr/bin:/bin", "DISPLAY": ":0", "WAYLAND_DISPLAY": ""}

    def zanpo(self, data, *args):
        path = self.write("data.txt", data)
        return self.run_program(self.program, "/F" + path, *args, env=self.env, timeout=300)

    def clipboard_text(self):
        if not os.path.exists(self.clipboard):
            return None
        with open(self.clipboard, "rb") as f:
            return f.read()

    def test_columns_at_the_edge_of_32_bits(self):
        line = b'1,"ab","1234567","cd"'
        cases = [
            ("/C2147483647", line),
            ("/C0000000000003", b"1234567"),
            ("/C000000000000000000002147483647", line),
            ("/C2147483648", "2147483648"),
            ("/C99999999999", "99999999999"),
            ("/C0", None),
        ]
        for switch, want in cases:
            with self.subTest(switch=switch):
                if os.path.exists(self.clipboard):
                    os.remove(self.clipboard)
                r = self.zanpo(line + b"\r\n", switch, "ab")
                if isinstance(want, str):
                    self.assertEqual((r.out, r.status), (b"", 1))
                    self.assertTrue(r.err.endswith(
                        b"\r\n'" + want.encode() + b"'" + sjis(" は整数ではありません.")
                        + b"\r\n\r\n"), r.err)
                    self.assertIsNone(self.clipboard_text())
                else:
                    self.assertOutput(r, line + b"\r\n")
                    self.assertEqual(self.clipboard_text(), want)

    def test_a_long_line_of_commas(self):
        # Every field is empty; a column beyond the field count takes the
        # whole line, however many commas stand before it.
        line = b"," * (4 << 20)
        cases = [("/C3", b""), ("/C2147483647", line), ("/C4194305", line), ("/C4194304", b"")]
        for switch, want in cases:
            with self.subTest(switch=switch):
                r = self.zanpo(line + b"\r\n", switch, ",,,")
                self.assertEqual((r.status, r.err, len(r.out)), (0, b"", len(line) + 2))
                self.assertEqual(self.clipboard_text(), want)


if __name__ == "__main__":
    unittest.main()
