"""The runtime failure report: stream, layout, message, exit status."""

import os
import re
import signal
import subprocess
import unittest

from harness import Case, emulated, native_path, sjis, windows

OCCURRED = re.compile(rb"^(\w+) " + re.escape(sjis("がモジュール ")) + rb"(.+) "
                      + re.escape(sjis("の ")) + rb"([0-9A-F]+) "
                      + re.escape(sjis("で発生しました。")) + rb"\r\n")


class FailureReport(Case):
    def assertReport(self, result, module, message):
        self.assertEqual(result.status, 1)
        m = OCCURRED.match(result.err)
        self.assertIsNotNone(m, result.err)
        self.assertEqual(m.group(2), module.encode())
        self.assertEqual(result.err[m.end():], sjis(message) + b"\r\n\r\n")

    def test_numbers_beyond_32_bits(self):
        path = native_path(self.write("d.txt", b"x\r\n"))
        program = self.install("find")
        for switch, value in [("/W", "2147483648"), ("-w", "99999999999999999999")]:
            with self.subTest(value=value):
                r = self.run_program(program, switch + value, "/F" + path, "x")
                self.assertEqual(r.out, b"")
                self.assertReport(r, os.path.basename(program), f"'{value}' は整数ではありません.")

    def test_numbers_are_checked_only_after_the_input_is_found(self):
        r = self.narvo("/W2147483648", "/Fmissing", "x")
        self.assertOutput(r, sjis("指定した対象ファイルが見つかりません\r\n"))

    @unittest.skipIf(windows(), "POSIX devices")
    def test_write_failure_on_a_full_device(self):
        path = self.write("d.txt", b"x\r\n")
        with open("/dev/full", "wb") as full:
            r = self.narvo("/F" + path, "x", stdout=full)
        self.assertReport(r, "narvo", "I/O エラー (28).")

    @unittest.skipIf(windows(), "POSIX devices")
    def test_read_failure(self):
        # /proc/self/mem exists as a file, but reading it from offset 0 fails with EIO.
        r = self.narvo("/F/proc/self/mem", "x")
        self.assertReport(r, "narvo", "I/O エラー (5).")

    @unittest.skipIf(windows(), "POSIX pipes")
    def test_closed_pipe_ends_quietly(self):
        path = self.write("d.txt", b"x\r\n" * 200000)
        program = self.install()
        # Also when the parent left SIGPIPE ignored, which its programs inherit.
        for ignored in (False, True):
            with self.subTest(sigpipe_ignored_by_parent=ignored):
                p = subprocess.Popen(emulated([program, "/F" + path, "x"]), stdout=subprocess.PIPE,
                                     stderr=subprocess.PIPE, env={"LC_ALL": "C"},
                                     preexec_fn=lambda: signal.signal(
                                         signal.SIGPIPE,
                                         signal.SIG_IGN if ignored else signal.SIG_DFL))
                p.stdout.read(10)
                p.stdout.close()
                err = p.stderr.read()
                self.assertEqual(p.wait(), -13)  # SIGPIPE, like any other filter
                self.assertEqual(err, b"")

    @unittest.skipIf(windows() or os.geteuid() == 0, "root reads every file")
    def test_unreadable_file(self):
        path = self.write("d.txt", b"x\r\n")
        os.chmod(path, 0)
        self.assertReport(self.narvo("/F" + path, "x"), "narvo", "ファイルへのアクセスが拒否されました.")


class OutOfMemory(Case):
    @unittest.skipIf(windows(), "POSIX resource limits")
    def test_an_endless_line_ends_in_the_report(self):
        program = self.install()
        with open(program, "rb") as f:
            if b"__asan_init" in f.read():
                self.skipTest("AddressSanitizer reserves more address space than the limit")
        import resource

        def limit():
            resource.setrlimit(resource.RLIMIT_AS, (512 << 20, 512 << 20))

        p = subprocess.run(emulated([program, "/F/dev/zero", "x"]), stdout=subprocess.PIPE,
                           stderr=subprocess.PIPE, env={"LC_ALL": "C"}, preexec_fn=limit,
                           timeout=120)
        self.assertEqual(p.stdout, b"")
        self.assertEqual(p.returncode, 1, p.stderr[-200:])
        self.assertTrue(p.stderr.endswith(sjis("メモリが不足しています.\r\n\r\n")), p.stderr)
