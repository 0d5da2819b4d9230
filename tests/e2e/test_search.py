"""Searching files and standard input: AND, exclude, case, character boundaries, output bytes."""

from harness import Case, crlf_lines, fixture, native_path, sjis
import oracle

SAMPLE = fixture("ken_sample.csv")


class PostalSample(Case):
    """Searches of the real postal-code sample, checked against an independent reading of it."""

    def search(self, *keywords, exclude=False):
        data = self.write("ken.csv", SAMPLE)
        args = (["/V"] if exclude else []) + ["/F" + native_path(data)] + list(keywords)
        return self.narvo(*args)

    def test_and_of_keywords_and_exclusion(self):
        cases = [
            (["大阪", "北区"], 12),
            (["北区", "大阪"], 12),
            (["大阪"], 25),
            (["北区"], 53),
            (["北海道"], 55),
            (["県"], 177),
            (["4520961"], 3),
            (["oap"], 4),
            (["OAP"], 4),
            (["oAp", "大阪"], None),
            (["大阪", "大阪", "北区"], 12),
            (["存在しない地名"], 0),
        ]
        for keywords, count in cases:
            with self.subTest(keywords=keywords):
                r = self.search(*keywords)
                expected = oracle.select(SAMPLE, keywords)
                self.assertOutput(r, expected)
                if count is not None:
                    self.assertEqual(expected.count(b"\r\n"), count)

    def test_exclude_writes_lines_holding_no_keyword(self):
        # Keywords equal but for ASCII case are one keyword, however many.
        for keywords, count in [(["大阪"], 259), (["大阪", "北海道"], 204), (["県"], 107),
                                (["oap", "OAP"] * 1000 + ["大阪"], 259), (["ア", "ヂ"], 280)]:
            with self.subTest(keywords=keywords[-3:]):
                r = self.search(*keywords, exclude=True)
                expected = oracle.select(SAMPLE, keywords, exclude=True)
                self.assertOutput(r, expected)
                self.assertEqual(expected.count(b"\r\n"), count)

    def test_bytes_across_a_character_boundary_never_match(self):
        # Each keyword's bytes occur in the sample, but only as or across a trail byte.
        for keyword, count in [("\\", 0), ("|", 0), ("k", 0), ("c", 0), ("s", 3), ("熊", 5),
                               ("掲", 46), ("樽", 1), ("連", 1), ("レ", 5)]:
            with self.subTest(keyword=keyword):
                r = self.search(keyword)
                self.assertOutput(r, oracle.select(SAMPLE, [keyword]))
                self.assertEqual(r.out.count(b"\r\n"), count)


class Output(Case):
    def test_lines_are_written_unchanged_with_cr_lf(self):
        self.write("d.txt", b"Abc One\nxyz\r\nABC two\rthree\nabc\r\n")
        r = self.narvo("/F" + native_path(self.path("d.txt")), "abc")
        self.assertOutput(r, b"Abc One\r\nABC twothree\r\nabc\r\n")

    def test_trail_bytes_that_look_like_letters_are_not_folded(self):
        # ア is 0x83 0x41: a search for "a" must not see its trail byte, and
        # folding must not turn it into 0x83 0x61, which is ヂ.
        self.write("d.txt", b"\x83\x41\n\x83\x61\nA\n")
        self.assertOutput(self.narvo("/F" + native_path(self.path("d.txt")), "a"), b"A\r\n")
        self.assertOutput(self.narvo("/F" + native_path(self.path("d.txt")), b"\x83\x41"), b"\x83\x41\r\n")
        self.assertOutput(self.narvo("/F" + native_path(self.path("d.txt")), b"\x83\x61"), b"\x83\x61\r\n")

    def test_single_byte_at_a_trail_position_is_not_found(self):
        self.write("d.txt", b"\x83\x40\n\x83\x40\x40\x40\n")
        self.assertOutput(self.narvo("/F" + native_path(self.path("d.txt")), "@"), b"\x83\x40\x40\x40\r\n")
        self.assertOutput(self.narvo("/F" + native_path(self.path("d.txt")), "@@"), b"\x83\x40\x40\x40\r\n")

    def test_empty_inputs_write_nothing(self):
        self.write("empty.txt", b"")
        self.assertOutput(self.narvo("/F" + native_path(self.path("empty.txt")), "x"), b"")
        self.assertOutput(self.narvo("/S", "x", stdin=b""), b"")
        self.assertOutput(self.narvo("/V", "/S", "x", stdin=b""), b"")

    def test_standard_input(self):
        data = sjis("東京都\r\n大阪府\nおおさか\n大阪市")
        self.assertOutput(self.narvo("/S", "大阪", stdin=data), crlf_lines("大阪府", "大阪市"))
        self.assertOutput(self.narvo("-s", "/V", "大阪", stdin=data), crlf_lines("東京都", "おおさか"))

    def test_many_hits_come_in_input_order(self):
        lines = [f"line {i} {'hit' if i % 3 == 0 else 'miss'}" for i in range(30000)]
        data = "\n".join(lines).encode()
        r = self.narvo("/S", "HIT", stdin=data)
        self.assertOutput(r, crlf_lines(*[l for l in lines if "hit" in l]))
