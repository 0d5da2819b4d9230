"""The runtime failure report: stream, layout, message, exit status."""

import os
import re
import resource
import signal
import subprocess
import threading
import time
import unittest

from harness import CONFIG, WINE_MESSAGE, Case, emulated, native_path, sjis, windows

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
        cases = [
            ("line through the buffer", b"x\r\n", ["x"], True),
            ("line longer than the buffer", b"x" * (1 << 20) + b"\r\n", ["x"], True),
            ("many lines", b"x\r\n" * (1 << 20), ["x"], True),
            ("nothing to write", b"y\r\n", ["x"], False),
            ("message", b"y\r\n", [], True),
            ("help screen", None, ["/?"], True),
        ]
        for name, data, args, failing in cases:
            with self.subTest(name):
                if data is not None:
                    args = ["/F" + self.write("d.txt", data)] + args
                with open("/dev/full", "wb") as full:
                    r = self.narvo(*args, stdout=full)
                if failing:
                    self.assertReport(r, "narvo", "I/O エラー (28).")
                else:
                    self.assertEqual((r.status, r.err), (0, b""))

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

    @unittest.skipIf(windows(), "POSIX pipes")
    def test_non_blocking_pipes_are_waited_for(self):
        # A parent may hand over pipes left non-blocking: a full output pipe or
        # an empty input pipe is something to wait for, not an I/O error (11).
        program = self.install()
        lines = b"".join(b"%07d,line\r\n" % n for n in range(40000))  # several pipes full

        def feed(fd):
            with os.fdopen(fd, "wb") as f:
                f.write(lines)

        for via in ("output", "input"):
            with self.subTest(via=via):
                out_read, out_write = os.pipe()
                in_read, in_write = os.pipe()
                os.set_blocking(out_write if via == "output" else in_read, False)
                with open(self.path("err"), "w+b") as err:
                    p = subprocess.Popen(emulated([program, "/S", "line"]), stdin=in_read,
                                         stdout=out_write, stderr=err,
                                         env=dict(os.environ, LC_ALL="C"))
                    os.close(out_write)
                    os.close(in_read)
                    # The input arrives late and the output is read late.
                    time.sleep(0.3)
                    writer = threading.Thread(target=feed, args=(in_write,))
                    writer.start()
                    time.sleep(0.3)
                    with os.fdopen(out_read, "rb") as out:
                        got = out.read()
                    writer.join()
                    status = p.wait(timeout=60)
                    err.seek(0)
                    self.assertEqual((got == lines, err.read(), status), (True, b"", 0))
        with self.subTest("output pipe full before the run"):
            # Then even the few lines the run keeps until its end wait for room.
            out_read, out_write = os.pipe()
            os.set_blocking(out_write, False)
            filler = b""
            while True:
                try:
                    filler += b"f" * os.write(out_write, b"f" * 4096)
                except BlockingIOError:
                    break
            path = self.write("few.txt", lines[:1400])
            with open(self.path("err"), "w+b") as err:
                p = subprocess.Popen(emulated([program, "/F" + path, "line"]),
                                     stdout=out_write, stderr=err,
                                     env=dict(os.environ, LC_ALL="C"))
                os.close(out_write)
                time.sleep(0.3)
                with os.fdopen(out_read, "rb") as out:
                    got = out.read()
                status = p.wait(timeout=60)
                err.seek(0)
                self.assertEqual((got == filler + lines[:1400], err.read(), status),
                                 (True, b"", 0))

    @unittest.skipIf(windows() or os.geteuid() == 0, "root reads every file")
    def test_unreadable_file(self):
        path = self.write("d.txt", b"x\r\n")
        os.chmod(path, 0)
        self.assertReport(self.narvo("/F" + path, "x"), "narvo", "ファイルへのアクセスが拒否されました.")


def mixed_lines():
    """60,000 short lines with 大阪, then 200 times 2,000 lines without it and one
    2 KB line with 大阪 and 北区: a dense query's output that ends in long lines
    far apart, and a sparse one's of long lines only."""
    short = sjis("大阪府,") + b"x" * 43 + b"\r\n"
    other = b"y" * 50 + b"\r\n"
    long = sjis("大阪市北区,") + b"z" * 2036 + b"\r\n"
    return short * 60000 + (other * 2000 + long) * 200


def sanitized(program):
    with open(program, "rb") as f:
        return b"__asan_init" in f.read()


def instrumented(program):
    with open(program, "rb") as f:
        return b"__gcov_merge_add" in f.read()


class WriteFailures(Case):
    """A write that fails anywhere in the output (a file size limit with SIGXFSZ
    ignored, so the write gets EFBIG) ends in the failure report with status 1,
    never in a signal, after exactly the bytes the limit let through."""

    QUERIES = {"dense": "大阪", "sparse": "北区"}

    def setUp(self):
        super().setUp()
        self.program = self.install()
        self.data = native_path(self.write("mix.txt", mixed_lines()))
        self.keeper = None
        if windows():
            # A wine session started by a limited program would inherit the limit;
            # this one is started without it and lasts as long as the test.
            self.keeper = subprocess.Popen(emulated(["cmd.exe"]), stdin=subprocess.PIPE,
                                           stdout=subprocess.DEVNULL,
                                           stderr=subprocess.DEVNULL,
                                           env=self.environment())
            self.addCleanup(self.keeper.wait, 60)
            self.addCleanup(self.keeper.stdin.close)

    def run_limited(self, keyword, env, limit=None):
        """(output file bytes, standard error, status) of a search writing to a file."""
        def cap():
            resource.setrlimit(resource.RLIMIT_FSIZE, (limit, limit))
            signal.signal(signal.SIGXFSZ, signal.SIG_IGN)

        out_path, err_path = self.path("out.bin"), self.path("err.bin")
        # Under wine standard error is a file, as in every run there (see the harness).
        with open(out_path, "wb") as out, open(err_path, "w+b") as err:
            p = subprocess.run(emulated([self.program, b"/F" + self.data.encode(), keyword]),
                               stdout=out, stderr=err if windows() else subprocess.PIPE,
                               env=self.environment(env), timeout=120,
                               preexec_fn=cap if limit is not None else None)
            err.seek(0)
            errors = err.read() if windows() else p.stderr
        with open(out_path, "rb") as f:
            return f.read(), WINE_MESSAGE.sub(b"", errors), p.returncode

    def sweep(self, keyword, env, encode, limits_of):
        full, err, status = self.run_limited(keyword, env)
        self.assertEqual((err, status), (b"", 0))
        # A program built for coverage writes its counts at exit, under the
        # same limit: none of its files is near 64 KiB.
        least = 1 << 16 if instrumented(self.program) else 0
        report = re.compile(rb"^InOutError .*\r\n" + re.escape(encode("I/O エラー (")) + rb"\d+"
                            + re.escape(encode(").")) + rb"\r\n\r\n\Z", re.S)
        for limit in [n for n in limits_of(len(full)) if n >= least]:
            with self.subTest(limit=limit, of=len(full)):
                out, err, status = self.run_limited(keyword, env, limit)
                self.assertEqual(out, full[:limit])
                if limit >= len(full):
                    self.assertEqual((err, status), (b"", 0))
                    continue
                self.assertEqual(status, 1, err)
                self.assertRegex(err, report)

    @staticmethod
    def limits(size):
        """Limits spread over an output of size bytes: at its start, inside a
        line, at the output buffer's size, every fifth of it, at and just
        below its end, and the ulimit -f values (KiB) that once crashed a
        dense search of the mixed lines."""
        spread = {0, 1, 53, 16384, 65539, size - 1, size}
        spread |= {size * k // 5 for k in range(1, 5)}
        spread |= {kib * 1024 for kib in (2300, 3200, 3300, 3400) if kib * 1024 < size}
        return sorted(spread)

    @unittest.skipIf(windows(), "the file size limit under wine is checked below")
    def test_both_consoles_dense_and_sparse(self):
        consoles = [("native", {}, sjis, sjis),
                    ("UTF-8", {"LC_ALL": "C.UTF-8"}, lambda t: t.encode("utf-8"),
                     lambda t: t.encode("utf-8"))]
        for console, env, keyword_bytes, encode in consoles:
            for query, keyword in self.QUERIES.items():
                with self.subTest(console=console, query=query):
                    self.sweep(keyword_bytes(keyword), env, encode, self.limits)

    @unittest.skipUnless(windows(), "the Windows build")
    def test_under_wine(self):
        # The report goes to a file here too: the limits leave room for it.
        def limits(size):
            return [16384, size // 3, 3400 * 1024, size]

        self.sweep(self.QUERIES["dense"].encode("utf-8"), {}, sjis, limits)


class OutOfMemory(Case):
    """A line too long for the address space the run may use."""

    def setUp(self):
        super().setUp()
        if windows():
            self.skipTest("POSIX resource limits")
        if sanitized(os.path.join(CONFIG["bin"], "narvo")):
            self.skipTest("AddressSanitizer reserves more address space than the limit")

    def run_capped(self, program, *args, env=None, limit=512 << 20, reader_late=0):
        """The run with its address space capped at limit; its output is read
        only reader_late seconds after it starts (a slow reader)."""
        def cap():
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

        p = subprocess.Popen(emulated([program] + list(args)), stdout=subprocess.PIPE,
                             stderr=subprocess.PIPE, env=self.environment(env), preexec_fn=cap)
        time.sleep(reader_late)
        out, err = p.communicate(timeout=120)
        return subprocess.CompletedProcess(p.args, p.returncode, out, err)

    def test_an_endless_line_ends_in_the_report(self):
        p = self.run_capped(self.install(), b"/F/dev/zero", b"x")
        self.assertEqual(p.stdout, b"")
        self.assertEqual(p.returncode, 1, p.stderr[-200:])
        self.assertTrue(p.stderr.endswith(sjis("メモリが不足しています.\r\n\r\n")), p.stderr)

    def test_every_line_before_it_is_written_first(self):
        # 65,280 lines, two in three selected, then a hole in the file: a line of
        # NULs twice the limit, which takes no disk space. The output is more
        # than a pipe holds, so writes wait for the reader while the line is read.
        if CONFIG["emulator"]:
            self.skipTest("an emulator reserves more address space than this limit")
        limit = 128 << 20
        lines = [sjis("大阪府,%05d" % i if i % 3 else "京都府,%05d" % i) + b"\r\n"
                 for i in range(65280)]
        path = self.write("long.txt", b"".join(lines))
        os.truncate(path, os.path.getsize(path) + 2 * limit)
        selected = b"".join(line for i, line in enumerate(lines) if i % 3)
        consoles = [("native", {}, sjis("大阪"), selected, sjis),
                    ("UTF-8", {"LC_ALL": "C.UTF-8"}, "大阪".encode("utf-8"),
                     selected.decode("cp932").encode("utf-8"), lambda t: t.encode("utf-8"))]
        for edition in ("narvo", "zanpo"):
            program = self.install(edition=edition)
            for console, env, keyword, expected, encode in consoles:
                with self.subTest(edition=edition, console=console):
                    p = self.run_capped(program, b"/F" + path.encode(), keyword, env=env,
                                        limit=limit, reader_late=0.5)
                    self.assertEqual(p.returncode, 1, p.stderr[-200:])
                    self.assertTrue(p.stdout == expected, (len(p.stdout), len(expected)))
                    self.assertRegex(p.stderr, rb"^OutOfMemory .*\r\n"
                                     + re.escape(encode("メモリが不足しています.\r\n\r\n")) + rb"\Z")


