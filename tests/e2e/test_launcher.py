"""/U: which address reaches the desktop's opener, through a recording stand-in for xdg-open.

The opener is started detached and never waited for, so a case waits for the
stand-in's record to appear. The addresses are build settings; the long help
screen prints the same four, so they are read from there.
"""

import os
import re
import shutil
import time
import unittest

from harness import Case, sjis, windows

ADDRESS_LINE = re.compile(rb"^ {19}(\S+)\r$", re.M)


@unittest.skipIf(windows(), "under wine the addresses go to the Windows shell, not to xdg-open")
class Launcher(Case):
    def setUp(self):
        super().setUp()
        self.record = self.path("opened")
        self.openers = self.mkdir("openers")
        self.stand_in(f'printf "%s\\n" "$@" > "{self.record}.part"\n'
                      f'mv "{self.record}.part" "{self.record}"\n')

    def stand_in(self, script):
        path = os.path.join(self.openers, "xdg-open")
        with open(path, "w") as f:
            f.write("#!/bin/sh\n" + script)
        os.chmod(path, 0o755)

    def launch(self, *args, edition="zanpo", name=None, path=None):
        program = self.install(name=name, edition=edition)
        search_path = self.openers + os.pathsep + os.environ.get("PATH", "")
        return self.run_program(program, *args, env={"PATH": path or search_path})

    def addresses(self, edition):
        # A copy of its own: a just-started opener may still be running the launched copy's image.
        r = self.run_program(self.install(edition=edition, folder="help"), "/??")
        found = ADDRESS_LINE.findall(r.out)
        self.assertEqual(len(found), 4, r.out)
        return dict(zip(("zip", "new", "author", "mail"), (a.decode() for a in found)))

    def opened(self, wait=10.0):
        """The arguments the opener got, or None when it was not started within wait seconds."""
        deadline = time.monotonic() + wait
        while not os.path.exists(self.record):
            if time.monotonic() > deadline:
                return None
            time.sleep(0.05)
        with open(self.record, "rb") as f:
            return f.read().decode().splitlines()

    def assertOpened(self, result, address):
        self.assertOutput(result, b"")
        self.assertEqual(self.opened(), [address])

    def test_each_keyword_opens_its_address(self):
        pages = self.addresses("zanpo")
        subject = "?subject=from [{}.exe version 1.7]"
        cases = [
            ("zanpo", "/Uzip", pages["zip"]),
            ("zanpo", "/UZIP", pages["zip"]),
            ("narvo", "-uZip", pages["zip"]),
            ("zanpo", "+Unew", pages["new"]),
            ("zanpo", "/Ukesri", pages["author"]),
            ("zanpo", "/U", pages["author"]),
            ("zanpo", "/Uzipcode", pages["author"]),
            ("narvo", "/Ux", pages["author"]),
            ("zanpo", "/Umail", pages["mail"] + subject.format("zanpo")),
            ("narvo", "/UMAIL", pages["mail"] + subject.format("narvo")),
        ]
        for edition, switch, address in cases:
            with self.subTest(edition=edition, switch=switch):
                if os.path.exists(self.record):
                    os.remove(self.record)
                self.assertOpened(self.launch(switch, edition=edition), address)

    def test_the_mail_subject_names_the_edition_not_the_file(self):
        mail = self.addresses("narvo")["mail"]
        self.assertOpened(self.launch("/Umail", edition="narvo", name="find"),
                          mail + "?subject=from [narvo.exe version 1.7]")

    def test_the_launcher_wins_over_the_search(self):
        # No search and no file-not-found message for /Fx.
        self.assertOpened(self.launch("/Unew", "大阪", "/Fx"), self.addresses("zanpo")["new"])

    def test_help_wins_over_the_launcher(self):
        r = self.launch("/?", "/Uzip")
        self.assertEqual(r.status, 0)
        self.assertIn(sjis(" [/??]          より詳細な使い方を表示する。\r\n"), r.out)
        self.assertIsNone(self.opened(wait=1.0))

    def test_a_missing_opener_is_ignored(self):
        r = self.launch("/Uzip", path=self.mkdir("empty"))
        self.assertOutput(r, b"")

    def test_the_program_does_not_wait_for_the_opener(self):
        # The stand-in records only after a pause: if the program waited for
        # it, or left it holding the pipes this test reads, the record would
        # already be there when the run returns.
        sleep = shutil.which("sleep")
        self.stand_in(f'{sleep} 5\nprintf "%s\\n" "$@" > "{self.record}.part"\n'
                      f'read -r stat < /proc/$$/stat\n'
                      f'echo "$stat" > "{self.record}.stat"\n'
                      f'mv "{self.record}.part" "{self.record}"\n')
        r = self.launch("/Ukesri")
        self.assertOutput(r, b"")
        self.assertFalse(os.path.exists(self.record))
        self.assertEqual(self.opened(wait=30.0), [self.addresses("zanpo")["author"]])
        # The opener runs in a session of its own, away from the caller's
        # (checked where /proc tells the session).
        with open(self.record + ".stat") as f:
            stat = f.read()
        if stat.strip():
            self.assertNotEqual(int(stat.rsplit(")", 1)[1].split()[3]), os.getsid(0))


if __name__ == "__main__":
    unittest.main()
