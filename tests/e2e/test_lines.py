"""How the data is cut into lines: line ends, Ctrl-Z end marks, NUL bytes, very long lines."""

from harness import Case, native_path


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
