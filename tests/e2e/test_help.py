"""The help screens, row by row, for both editions and any program name."""

import os
import time

from harness import Case, native_path, sjis, windows

Q = '"'
ADDRESS_ROWS = 19 * " "

# (screens, text): M minimal, S short, L long; C rows only in the clipboard edition.
# None stands for rows built per run (usage lines, manual name, addresses, status, banner).
ROWS = [
    ("MSL", ""),
    ("MSL", "テキストファイルから、複数の検索文字列がAND条件で含む行を抽出し、標準出力する"),
    ("MSL", "（本来の用途は郵便番号検索ですが、不器用なFINDコマンドとしても使えます）"),
    ("MSL", ""),
    ("MSL", "<usage>"),
    ("L", "<uline>"),
    ("S", ""),
    ("S", " [/??]          より詳細な使い方を表示する。"),
    ("L", ""),
    ("L", " [/?]           簡単な使い方と、バージョン、作者情報を表示する。"),
    ("L", "                [-?] [+?]でも同じ処理を行い、他のパラメータは無視する。"),
    ("L", "                さらに詳しい説明は、" + Q + "<base>17.txt" + Q + "参照のこと。"),
    ("L", ""),
    ("SL", " [/V]           検索文字列がひとつも含まない行を出力対象とする。"),
    ("L", ""),
    ("SL", " [/W[0123]]     検索文字列に、ダブルクォーテーションを付加する。"),
    ("L", "                  0:このパラメータを無効とする"),
    ("L", "                  1:文字列の前後に付加"),
    ("L", "                  2:文字列の前のみに付加"),
    ("L", "                  3:文字列の後にのみ付加"),
    ("L", "                  数字を省略すると上記" + Q + "1" + Q + "と解する。"),
    ("L", ""),
    ("SL", " [/Fファイル名] 検索するファイルを指定する。"),
    ("L", "                デフォルトの対象ファイルは、以下の優先順位で決定される。"),
    ("L", "                    1. カレントフォルダ"),
    ("L", "                      1-1. 実行ファイルの拡張子を.csvとしたファイル"),
    ("L", "                      1-2. 実行ファイルの拡張子を.txtとしたファイル"),
    ("L", "                    2. 実行ファイルと同じフォルダ"),
    ("L", "                      2-1. 実行ファイルの拡張子を.csvとしたファイル"),
    ("L", "                      2-2. 実行ファイルの拡張子を.txtとしたファイル"),
    ("L", "                      2-3. KEN_ALL.CSV"),
    ("L", ""),
    ("SL", " [/S]           検索対象を標準入力とする。"),
    ("L", "                このパラメータが指定されたときは、/Fを無視する。"),
    ("L", ""),
    ("SLC", " [/C数字]       CSV形式で、数字番目の内容をクリップボードにコピーする。"),
    ("LC", "                CSVの項目以上の数を指定した場合は、１行すべてをコピーします。"),
    ("LC", "                検索結果が複数の時は、最後に見つかったレコードの値となる。"),
    ("LC", "                デフォルトは3 (" + Q + "KEN_ALL.CSV" + Q + "で、郵便番号(7桁)を指す)。"),
    ("LC", "                また、0を指定するとコピーしません。"),
    ("LC", ""),
    ("SL", " 検索文字列     検索するキーワードを半角スペース区切りで指定する。"),
    ("L", ""),
    ("L", " [/U[zip|new|kesri|mail]]"),
    ("L", "                関係urlに、デフォルトのブラウザでアクセスする"),
    ("L", "                  " + Q + "zip" + Q + "：日本郵政公社の郵便番号等のダウンロードにアクセス"),
    ("L", "<address>"),
    ("L", "                  " + Q + "new" + Q + "：Vectorでの最新版公開サイトにアクセス"),
    ("L", "<address>"),
    ("L", "                  " + Q + "kesri" + Q + "：作者のWEBサイトにアクセス"),
    ("L", "<address>"),
    ("L", "                  " + Q + "mail" + Q + "：作者にメールを送る"),
    ("L", "<mailto>"),
    ("L", ""),
    ("L", "<usage>"),
    ("L", "<uline>"),
    ("SL", "<status>"),
    ("MSL", ""),
    ("MSL", "<banner>"),
    ("MSL", "<notoriginal>"),
]


def screen(kind, edition, stem, status, program_file, copyright_line):
    """The expected bytes of a screen: kind M, S or L; status rows as bytes lines."""
    base = edition
    usage = stem + " [/?[?]] | [/V] [/W[0123]] [/Fファイル名] [/S]"
    if edition == "zanpo":
        usage += " [/C数字]"
    usage += " 検索文字列[ . . .]"
    uline = stem + " [/U[zip|new|kesri|mail]]"
    out = []
    for kinds, text in ROWS:
        if kind not in kinds or ("C" in kinds and edition != "zanpo"):
            continue
        if text == "<usage>":
            out.append(sjis(usage))
        elif text == "<uline>":
            out.append(sjis(uline))
        elif text in ("<address>", "<mailto>"):
            out.append(None)  # configuration values, checked for shape only
        elif text == "<status>":
            out.extend(status)
        elif text == "<banner>":
            out.append(sjis(Q + base + ".exe" + Q + " for command-prompt of WindowsXP  version 1.7"))
        elif text == "<notoriginal>":
            suffix = ".exe" if windows() else ""
            if program_file.lower() != (base + suffix).lower():
                out.append(sjis(" ( " + Q + program_file + Q + " is not original name )"))
        else:
            out.append(sjis(text.replace("<base>", base)))
    out.append(copyright_line)
    return out


NO_DEFAULT_STATUS = [b"", sjis("※ 現在のデフォルトファイルは存在しません")]


class HelpScreens(Case):
    def show(self, *params, name="narvo", edition="narvo", cwd=None):
        program = self.install(name, edition=edition)
        r = self.run_program(program, *params, cwd=cwd or self.mkdir("work"))
        self.assertEqual(r.status, 0, r.err)
        self.assertEqual(r.err, b"")
        self.assertTrue(r.out.endswith(b"\r\n"))
        return r.out[:-2].split(b"\r\n"), os.path.basename(program)

    def check(self, lines, kind, edition, stem, program_file, status=NO_DEFAULT_STATUS):
        expected = screen(kind, edition, stem, status, program_file, lines[-1])
        self.assertEqual(len(lines), len(expected), b"\n".join(lines).decode("cp932"))
        for got, want in zip(lines, expected):
            if want is None:
                self.assertTrue(got.startswith(ADDRESS_ROWS.encode()) and len(got) > 25, got)
            else:
                self.assertEqual(got, want)
        self.assertTrue(lines[-1].startswith(b" ") and len(lines[-1]) > 1, lines[-1])

    def test_kinds_and_editions(self):
        cases = [
            (["/?"], "S"), (["-HELP"], "S"), (["+help", "x"], "S"), (["x", "-?"], "S"),
            (["/??"], "L"), (["+??x"], "L"), (["a", "-??", "/?"], "L"), ([], "M"),
        ]
        for edition in ("narvo", "zanpo"):
            for params, kind in cases:
                with self.subTest(edition=edition, params=params):
                    lines, file = self.show(*params, name=edition, edition=edition)
                    self.check(lines, kind, edition, edition, file)

    def test_program_under_another_name(self):
        lines, file = self.show("/?", name="find", edition="zanpo")
        self.assertTrue(lines[4].startswith(b"find [/?[?]]"))
        self.check(lines, "S", "zanpo", "find", file)
        self.assertIn(b'( "find', lines[-2])
        # Upper case is the same name: no "not original name" row.
        lines, file = self.show("/??", name="ZANPO", edition="zanpo")
        self.check(lines, "L", "zanpo", "ZANPO", file)
        self.assertNotIn(b"not original name", b"\n".join(lines))

    def test_default_file_status_shows_local_time_and_path(self):
        stamp = time.mktime((2024, 1, 2, 3, 4, 59, 0, 0, -1))
        work = self.mkdir("work")
        path = self.write("work/narvo.txt", b"x\r\n", mtime=stamp)
        lines, file = self.show("/?", cwd=work)
        status = [b"", sjis("※ 現在のデフォルトファイルは、更新日時" + Q + "2024/01/02  03:04" + Q + "の"),
                  native_path(path).encode("utf-8") if not windows() else sjis(native_path(path))]
        self.check(lines, "S", "narvo", "narvo", file, status)
        lines, file = self.show("/??", cwd=work)
        self.check(lines, "L", "narvo", "narvo", file, status)
        if windows():
            return
        # Found in the installation's data folder: the path as a packager names it.
        os.remove(path)
        path = self.write("share/narvo/KEN_ALL.CSV", b"x\r\n", mtime=stamp)
        status[2] = path.encode("utf-8")
        self.assertNotIn(b"..", status[2])
        lines, file = self.show("/?", cwd=work)
        self.check(lines, "S", "narvo", "narvo", file, status)

    def test_help_wins_over_everything_else(self):
        for params in (["/Fmissing", "/?"], ["/Uzip", "/?"], ["/S", "/?"], ["/?", "/Uzip"]):
            with self.subTest(params=params):
                lines, file = self.show(*params)
                self.check(lines, "S", "narvo", "narvo", file)
