"""The default data file: program-named files here and beside the program, then KEN_ALL.CSV and
Japan Post's UTF-8 utf_ken_all.csv; on POSIX then the user's data folder and the installation's
share/narvo/."""

import time

from harness import Case, crlf_lines, windows

NO_DEFAULT = crlf_lines("デフォルト対象ファイルが見つかりません")


def local_timestamp(year, month=6, day=15):
    return time.mktime((year, month, day, 12, 0, 0, 0, 0, -1))


class DefaultFile(Case):
    """Each case places files (content = their own name) and searches for "hit"."""

    def search(self, files, name="narvo", dirs=(), folder="bin", env=None):
        program = self.install(name, folder=folder)
        self.mkdir("work")
        for d in dirs:
            self.mkdir(d)
        for f in files:
            self.write(f, f"hit {f}\r\n")
        return self.run_program(program, "hit", cwd=self.path("work"), env=env)

    def test_search_order(self):
        cases = [
            (["work/narvo.csv", "work/narvo.txt", "bin/narvo.csv", "bin/KEN_ALL.CSV"], "work/narvo.csv"),
            (["work/narvo.txt", "bin/narvo.csv", "bin/narvo.txt"], "work/narvo.txt"),
            (["bin/narvo.csv", "bin/narvo.txt", "bin/KEN_ALL.CSV"], "bin/narvo.csv"),
            (["bin/narvo.txt", "bin/KEN_ALL.CSV"], "bin/narvo.txt"),
            (["bin/KEN_ALL.CSV", "work/KEN_ALL.CSV"], "bin/KEN_ALL.CSV"),
            (["bin/KEN_ALL.CSV", "bin/utf_ken_all.csv"], "bin/KEN_ALL.CSV"),
            (["bin/utf_ken_all.csv", "work/KEN_ALL.CSV"], "bin/utf_ken_all.csv"),
            (["work/KEN_ALL.CSV"], None),  # never looked for in the current folder
            (["work/utf_ken_all.csv"], None),
            (["work/zanpo.csv", "bin/zanpo.csv"], None),  # the other edition's names
            ([], None),
        ]
        for files, chosen in cases:
            with self.subTest(files=files):
                self.setUp()
                r = self.search(files)
                self.assertOutput(r, crlf_lines(f"hit {chosen}") if chosen else NO_DEFAULT)

    def test_names_follow_the_program_file(self):
        r = self.search(["bin/narvo.csv", "bin/find.txt"], name="find")
        self.assertOutput(r, crlf_lines("hit bin/find.txt"))
        self.setUp()
        # Only the last extension is replaced: on Windows the file is my.tool.exe.
        r = self.search(["work/my.csv", "work/my.tool.csv"], name="my.tool")
        self.assertOutput(r, crlf_lines("hit work/my.tool.csv" if windows() else "hit work/my.csv"))

    def test_a_folder_is_skipped(self):
        r = self.search(["bin/narvo.txt"], dirs=["work/narvo.csv", "bin/narvo.csv"])
        self.assertOutput(r, crlf_lines("hit bin/narvo.txt"))

    def test_files_dated_outside_1980_to_2107_do_not_exist(self):
        program = self.install()
        self.mkdir("work")
        self.write("work/narvo.csv", "hit 1979\r\n", mtime=local_timestamp(1979, 12, 1))
        self.write("work/narvo.txt", "hit 2108\r\n", mtime=local_timestamp(2108, 1, 2))
        self.write("bin/narvo.csv", "hit 1980\r\n", mtime=local_timestamp(1980, 1, 2))
        r = self.run_program(program, "hit", cwd=self.path("work"))
        self.assertOutput(r, crlf_lines("hit 1980"))
        # Named with /F, an out-of-range file is not found either.
        r = self.run_program(program, "/Fnarvo.csv", "hit", cwd=self.path("work"))
        self.assertOutput(r, crlf_lines("指定した対象ファイルが見つかりません"))

    def test_relative_f_paths_are_against_the_current_folder(self):
        program = self.install()
        self.write("work/sub/d.txt", "hit d\r\n")
        sep = "\\" if windows() else "/"
        r = self.run_program(program, "/Fsub" + sep + "d.txt", "hit", cwd=self.path("work"))
        self.assertOutput(r, crlf_lines("hit d"))

    def test_data_folders_come_after_the_five(self):
        user = "home/.local/share/narvo/"
        # (files, program folder, environment, chosen on POSIX); Windows looks nowhere else.
        cases = [
            ([user + "narvo.csv", "share/narvo/narvo.csv", "bin/KEN_ALL.CSV"], "bin", {},
             "bin/KEN_ALL.CSV"),
            ([user + "narvo.csv", user + "narvo.txt", user + "KEN_ALL.CSV", "share/narvo/narvo.csv"],
             "bin", {}, user + "narvo.csv"),
            ([user + "narvo.txt", user + "KEN_ALL.CSV"], "bin", {}, user + "narvo.txt"),
            ([user + "KEN_ALL.CSV", "share/narvo/narvo.csv"], "bin", {}, user + "KEN_ALL.CSV"),
            (["share/narvo/narvo.txt", "share/narvo/KEN_ALL.CSV"], "bin", {}, "share/narvo/narvo.txt"),
            (["share/narvo/KEN_ALL.CSV"], "bin", {}, "share/narvo/KEN_ALL.CSV"),
            # Japan Post's UTF-8 file right after KEN_ALL.CSV, in each folder.
            ([user + "utf_ken_all.csv", "share/narvo/KEN_ALL.CSV"], "bin", {},
             user + "utf_ken_all.csv"),
            ([user + "KEN_ALL.CSV", user + "utf_ken_all.csv"], "bin", {}, user + "KEN_ALL.CSV"),
            (["bin/utf_ken_all.csv", user + "narvo.csv"], "bin", {}, "bin/utf_ken_all.csv"),
            (["share/narvo/utf_ken_all.csv"], "bin", {}, "share/narvo/utf_ken_all.csv"),
            ([user + "zanpo.csv", "share/narvo/zanpo.txt", "share/zanpo/KEN_ALL.CSV"], "bin", {},
             None),
            # Only a program in a folder named bin has an installation folder.
            (["share/narvo/KEN_ALL.CSV", "tools/share/narvo/KEN_ALL.CSV"], "tools", {}, None),
            (["share/narvo/KEN_ALL.CSV"], "Bin", {}, None),
            (["opt/share/narvo/KEN_ALL.CSV", "share/narvo/narvo.csv"], "opt/bin", {},
             "opt/share/narvo/KEN_ALL.CSV"),
            # An absolute XDG_DATA_HOME replaces ~/.local/share, also without HOME.
            (["xdg/narvo/KEN_ALL.CSV", user + "narvo.csv"], "bin", {"XDG_DATA_HOME": "<dir>/xdg"},
             "xdg/narvo/KEN_ALL.CSV"),
            (["xdg/narvo/narvo.txt"], "bin", {"XDG_DATA_HOME": "<dir>/xdg/", "HOME": None},
             "xdg/narvo/narvo.txt"),
            # A relative or empty one counts as unset (the current folder holds xdg/narvo/).
            (["work/xdg/narvo/KEN_ALL.CSV", user + "narvo.txt"], "bin", {"XDG_DATA_HOME": "xdg"},
             user + "narvo.txt"),
            (["work/xdg/narvo/KEN_ALL.CSV"], "bin", {"XDG_DATA_HOME": "xdg"}, None),
            ([user + "KEN_ALL.CSV"], "bin", {"XDG_DATA_HOME": ""}, user + "KEN_ALL.CSV"),
            # Without HOME there is no user folder, neither here nor at the root.
            ([user + "KEN_ALL.CSV", "work/.local/share/narvo/KEN_ALL.CSV"], "bin", {"HOME": None},
             None),
            ([user + "KEN_ALL.CSV", "work/.local/share/narvo/KEN_ALL.CSV"], "bin", {"HOME": ""},
             None),
            (["share/narvo/KEN_ALL.CSV"], "bin", {"HOME": None}, "share/narvo/KEN_ALL.CSV"),
        ]
        for files, folder, env, chosen in cases:
            with self.subTest(files=files, folder=folder, env=env):
                self.setUp()
                if windows():
                    chosen = chosen if chosen and chosen.startswith("bin/") else None
                    env = {k: v for k, v in env.items() if k != "HOME"}  # wine needs it
                env = {k: v.replace("<dir>", self.dir) if v else v for k, v in env.items()}
                r = self.search(files, folder=folder, env=env)
                self.assertOutput(r, crlf_lines(f"hit {chosen}") if chosen else NO_DEFAULT)
