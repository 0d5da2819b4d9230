"""Switches: where they stand, which one counts, and how keywords are taken by position."""

from harness import Case, crlf_lines, native_path, sjis, windows

# Lines chosen so that each /W form selects a different set.
QUOTED = sjis('1,"大阪",x\r\n2,大阪",x\r\n3,"大阪x\r\n4,大阪\r\n5,"大阪府"\r\n')
FILE_NOT_FOUND = crlf_lines("指定した対象ファイルが見つかりません")
NO_DEFAULT = crlf_lines("デフォルト対象ファイルが見つかりません")
NO_KEYWORD = crlf_lines("検索する文字列の指定がありません")


class QuoteMode(Case):
    def test_w_values(self):
        data = native_path(self.write("q.csv", QUOTED))
        both, before, after = ["1"], ["1", "3", "5"], ["1", "2"]
        plain = ["1", "2", "3", "4", "5"]
        cases = [("/W", both), ("/W1", both), ("-w01", both), ("/W2", before), ("/W3", after),
                 ("/W0", plain), ("/W4", plain), ("/Wx", plain), ("/W2147483647", plain),
                 ("/W-1", plain)]
        for switch, numbers in cases:
            with self.subTest(switch=switch):
                r = self.narvo(switch, "/F" + data, "大阪")
                expected = b"".join(l + b"\r\n" for l in QUOTED.split(b"\r\n")
                                    if l and l[:1].decode() in numbers)
                self.assertOutput(r, expected)

    def test_quotes_wrap_every_keyword(self):
        data = native_path(self.write("q.csv", sjis('"a","b"\r\n"a",b\r\na,"b"\r\n')))
        self.assertOutput(self.narvo("/W", "/F" + data, "A", "b"), b'"a","b"\r\n')


class Positions(Case):
    def setUp(self):
        super().setUp()
        self.data = native_path(self.write("d.txt", sjis("大阪\r\n/S\r\n/C3\r\nx /C3 大阪\r\n-v\r\n")))

    def test_keywords_start_after_as_many_parameters_as_switches(self):
        cases = [
            # (parameters, standard input, expected lines)
            (["/S", "/Fdata.csv", "大阪"], sjis("/Fdata.csv 大阪\r\n大阪\r\n"), ["/Fdata.csv 大阪"]),
            (["大阪", "/S"], sjis("大阪 /S\r\n大阪\r\n/S\r\n"), ["大阪 /S", "/S"]),
            (["/S", "/s", "x"], sjis("/s x\r\nx\r\n"), ["/s x"]),  # the second /S is a keyword
            (["/S", "/Fmissing.csv", "x"], b"x\r\n", []),  # /F is not examined with /S ...
        ]
        for params, stdin, lines in cases:
            with self.subTest(params=params):
                self.assertOutput(self.narvo(*params, stdin=stdin), crlf_lines(*lines))

    def test_plain_edition_has_no_c_switch(self):
        self.assertOutput(self.narvo("/F" + self.data, "/C3", "大阪"), crlf_lines("x /C3 大阪"))

    def test_switch_forms(self):
        for v in ["/V", "-v", "+V", "/Vanything"]:
            with self.subTest(switch=v):
                self.assertOutput(self.narvo(v, "/F" + self.data, "大阪", "/"),
                                  crlf_lines("-v"))

    def test_switch_after_the_keywords_still_counts(self):
        # Two switches: /V acts, and the only keyword is parameter 3, the /F one,
        # which no line holds; so every line is written.
        self.assertOutput(self.narvo("大阪", "/V", "/F" + self.data),
                          crlf_lines("大阪", "/S", "/C3", "x /C3 大阪", "-v"))


class Messages(Case):
    def test_which_message_wins(self):
        d = native_path(self.write("d.txt", b"x\r\n"))
        cases = [
            (["/Fmissing.csv"], FILE_NOT_FOUND),
            (["/F"], FILE_NOT_FOUND),
            (["/F", "x"], FILE_NOT_FOUND),
            (["/F" + native_path(self.dir), "x"], FILE_NOT_FOUND),  # a folder is no file
            (["/F" + d], NO_KEYWORD),
            (["/V", "/W", "/F" + d], NO_KEYWORD),
            (["/S"], NO_KEYWORD),
            (["x"], NO_DEFAULT),  # no default file beside the program or here
            (["/V"], NO_DEFAULT),  # the input is looked for before the keywords
        ]
        for params, expected in cases:
            with self.subTest(params=params):
                self.assertOutput(self.narvo(*params), expected)

    def test_bare_help_forms_are_keywords(self):
        self.install()
        self.write("bin/narvo.csv", b"?\r\n/?\r\nhelp /?\r\n??x\r\nHELP\r\n")
        program = self.path("bin", "narvo") + ("" if not windows() else ".exe")
        cases = [(["?", "/?"], [b"/?", b"help /?"]), (["help", "/?"], [b"help /?"]),
                 (["??x"], [b"??x"]), (["HeLp"], [b"help /?", b"HELP"])]
        for params, lines in cases:
            with self.subTest(params=params):
                self.assertOutput(self.run_program(program, *params), crlf_lines(*lines))
