"""How the data is cut into lines: line ends, Ctrl-Z end marks, NUL bytes, very long lines."""

import select
import subprocess
import unittest

from harness import Case, native_path, windows


class LineReading(Case):
    def grep(self, data, *keywords):
        path = native_path(self.write("d.txt", data))
        return self.narvo("/F" + path, *keywords)

    def test_line_ends_and_end_marks(self):
        # Every line holds "x", so the output shows exactly the lines read.
        cases = [
            (b"xa\rxb\r\nxc", b"xaxb\r\nxc\r\n"),
            (b"xabc\x1axdef", b"xabc\r\n"),
            (b"\x1axabc\r\n", b""),
            (b"xabc\x1axdef\nxghi", b"xabc\r\nxghi\r\n"),
            (b"xabc\x1axdef\x1a\nxghi", b"xabc\r\n"),
            (b"x1\nx2\n\x1ax3\n", b"x1\r\nx2\r\n"),
            (b"x\n\n\nx", b"x\r\nx\r\n"),
            (b"x\r", b"x\r\n"),
        ]
        for data, expected in cases:
            with self.subTest(data=data):
                self.assertOutput(self.grep(data, "x"), expected)
                self.assertOutput(self.narvo("/S", "x", stdin=data), expected)

    def test_empty_lines_count_as_lines(self):
        # With /V every line without "q" is written, empty ones too.
        cases = [(b"a\n\r", b"a\r\n\r\n"), (b"\r\x1a", b"\r\n"), (b"\n\n", b"\r\n\r\n"), (b"", b"")]
        for data, expected in cases:
            with self.subTest(data=data):
                self.assertOutput(self.grep(data, "/V", "q"), expected)

    def test_lone_cr_inside_a_line_is_dropped_before_matching(self):
        self.assertOutput(self.grep("大\r阪\n".encode("cp932"), "大阪"), "大阪\r\n".encode("cp932"))

    def test_keywords_are_not_found_after_a_nul(self):
        data = b"a\x00key\r\nkey\x00a\r\nplain\r\n"
        self.assertOutput(self.grep(data, "key"), b"key\x00a\r\n")
        # Excluding: the line whose only occurrence follows the NUL is written, whole.
        self.assertOutput(self.grep(data, "/V", "key"), b"a\x00key\r\nplain\r\n")

    def test_long_lines_have_no_limit(self):
        line = b"y" * (3 << 20) + b" needle " + b"z" * (1 << 20)
        data = b"short\n" + line + b"\r\nneedle tail"
        r = self.grep(data, "NEEDLE")
        self.assertOutput(r, line + b"\r\nneedle tail\r\n")

    @unittest.skipIf(windows(), "POSIX pipes")
    def test_streams_that_stay_open(self):
        # An end mark where a line begins, or a second one while a line's rest
        # is skipped, ends the run at once, whatever follows or is still to come.
        cases = [(b"abc\n\x1a", b"abc\r\n"), (b"abc\nq\x1ad\x00\r\x1a", b"abc\r\nq\r\n"),
                 (b"\x1a", b"")]
        for data, expected in cases:
            with self.subTest(data=data, behind="a stream left open"):
                p = self.start_program(self.install(), "/S", "/V", "zzz", stdin=subprocess.PIPE)
                p.stdin.write(data)
                p.stdin.flush()
                ended = self.ends_by_itself(p)
                self.assertEqual(self.finish(p), (expected, b"", 0))
                self.assertTrue(ended)
            with self.subTest(data=data, behind="endless data in little memory"):
                zeros = subprocess.Popen(["sh", "-c", 'printf "$0"; exec cat /dev/zero',
                                          data.replace(b"\x00", b"\\0")],
                                         stdout=subprocess.PIPE)
                p = self.start_program(self.install(), "/S", "/V", "zzz", stdin=zeros.stdout, env={}, limit=64 << 20)
                zeros.stdout.close()
                self.assertEqual(self.finish(p, timeout=20), (expected, b"", 0))
                zeros.kill()
                zeros.wait()
        # Selected lines go out as they are found, before the next read waits.
        p = self.start_program(self.install(), "/S", "error", stdin=subprocess.PIPE)
        for data, line in ((b"error one\nfine\n", b"error one\r\n"), (b"error two\n", b"error two\r\n")):
            p.stdin.write(data)
            p.stdin.flush()
            written = select.select([p.stdout], [], [], 10)[0]
            self.assertEqual(p.stdout.readline() if written else b"", line)
            if not written:
                p.kill()
        self.assertEqual(self.finish(p), (b"", b"", 0))
