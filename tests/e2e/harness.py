"""Runs the built programs in scratch folders and reports bytes, not text.

The same cases run against the Linux programs (native mode under LC_ALL=C:
Shift-JIS bytes in and out) and against the Windows .exe files under wine
(LANG=ja_JP.UTF-8 gives ANSI code page 932, so the program sees and writes
Shift-JIS too). Parameters are given as Python strings and encoded for the
platform: Shift-JIS bytes on Linux, UTF-8 for wine, which converts them.
"""

import os
import re
import resource
import shutil
import subprocess
import sys
import tempfile
import unittest
from dataclasses import dataclass

DATA_DIR = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "data")

# Filled by run.py from its command line.
CONFIG = {"bin": None, "suffix": "", "emulator": ""}


def windows():
    return CONFIG["suffix"] == ".exe"


def sjis(text):
    """The Shift-JIS (CP932) bytes of text: what the program writes natively."""
    return text.encode("cp932")


def crlf_lines(*lines):
    """Lines (str or bytes) as the program writes them: each followed by CR LF."""
    out = b""
    for line in lines:
        out += (sjis(line) if isinstance(line, str) else line) + b"\r\n"
    return out


def fixture(name):
    with open(os.path.join(DATA_DIR, name), "rb") as f:
        return f.read()


def emulated(command):
    """command prefixed with the emulator a cross build's programs run under, if any."""
    return CONFIG["emulator"].split(";") + command if CONFIG["emulator"] else command


def native_path(path):
    """A path as the program sees it: unchanged on POSIX, Z:\\... under wine."""
    if windows():
        return "Z:" + path.replace("/", "\\")
    return path


def start_xvfb():
    """Starts an X server on a free display; returns the process and ":N", or skips the test."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-nolisten", "tcp",
                             "-screen", "0", "640x480x24"],
                            pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    os.close(write_end)
    with os.fdopen(read_end) as announced:
        number = announced.readline().strip()
    if not number:
        xvfb.kill()
        xvfb.wait()
        raise unittest.SkipTest("Xvfb did not start")
    return xvfb, ":" + number


# wine's own error messages ("0123:err:channel:function text", without the thread
# before a thread exists), enabled under wine so that a run wine itself fails says
# why; kept apart from the program's standard error.
WINE_MESSAGE = re.compile(rb"^(?:[0-9a-f]{4}:)?err:[^\n]*\n?", re.M)


@dataclass
class Result:
    out: bytes
    err: bytes
    status: int
    wine: bytes = b""


class Case(unittest.TestCase):
    """A test case with a scratch folder of its own."""

    maxDiff = None

    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="narvo-e2e-")
        self.addCleanup(shutil.rmtree, self.dir, True)

    # --- files ------------------------------------------------------------
    def path(self, *parts):
        return os.path.join(self.dir, *parts)

    def write(self, relpath, data, mtime=None):
        """Writes bytes (or str as Shift-JIS) to a file under the scratch folder."""
        p = self.path(relpath)
        os.makedirs(os.path.dirname(p), exist_ok=True)
        with open(p, "wb") as f:
            f.write(sjis(data) if isinstance(data, str) else data)
        if mtime is not None:
            os.utime(p, (mtime, mtime))
        return p

    def mkdir(self, relpath):
        p = self.path(relpath)
        os.makedirs(p, exist_ok=True)
        return p

    def install(self, name=None, folder="bin", edition="narvo"):
        """Copies the built program of an edition into folder under name (suffix added)."""
        name = name or edition
        target_dir = self.mkdir(folder)
        target = os.path.join(target_dir, name + CONFIG["suffix"])
        shutil.copy2(os.path.join(CONFIG["bin"], edition + CONFIG["suffix"]), target)
        return target

    # --- running ----------------------------------------------------------
    def environment(self, env=None):
        """The environment of a run: a scratch HOME (home/ in the scratch folder; tools such
        as xsel fail when it does not exist) and no XDG_DATA_HOME on POSIX, then env, where
        None removes a variable.

        No run sees the data folders of whoever runs the suite. wine keeps its
        prefix under HOME, so under wine HOME stays (the Windows programs never read it).
        """
        environment = dict(os.environ)
        environment.pop("XDG_DATA_HOME", None)
        if windows():
            environment.update({"LANG": "ja_JP.UTF-8", "LC_ALL": "ja_JP.UTF-8",
                                "WINEDEBUG": "-all,err+all"})
        else:
            environment["HOME"] = self.mkdir("home")
            environment["LC_ALL"] = "C"
        for name, value in (env or {}).items():
            if value is None:
                environment.pop(name, None)
            else:
                environment[name] = value
        return environment

    def run_program(self, program, *args, cwd=None, stdin=b"", env=None, stdout=None,
                    timeout=120):
        """Runs program with args (str, encoded for the platform, or bytes as they are)."""
        encoded = []
        for a in args:
            if isinstance(a, bytes) and windows():
                # wine takes UTF-8 and hands the program its code page 932 form.
                encoded.append(a.decode("cp932").encode("utf-8"))
            elif isinstance(a, bytes):
                encoded.append(a)
            else:
                encoded.append(a.encode("utf-8") if windows() else sjis(a))
        command = [program] + encoded
        if CONFIG["emulator"]:
            command = CONFIG["emulator"].split(";") + command
        environment = self.environment(env)
        if windows():
            # A program that starts the wine session passes its output handles on to
            # the session's own processes, which hold them until the session ends: a
            # pipe would not reach its end before then, and the clipboard goes with
            # the session. Files are read once the program itself has ended.
            with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
                p = subprocess.run(command, input=stdin, stdout=stdout or out, stderr=err,
                                   cwd=cwd or self.dir, env=environment, timeout=timeout)
                out.seek(0)
                err.seek(0)
                errors = err.read()
                for message in WINE_MESSAGE.findall(errors):
                    print("wine:", message.decode("utf-8", "replace").rstrip(), file=sys.stderr)
                return Result(b"" if stdout else out.read(), WINE_MESSAGE.sub(b"", errors),
                              p.returncode, b"".join(WINE_MESSAGE.findall(errors)))
        p = subprocess.run(command, input=stdin, stdout=stdout or subprocess.PIPE,
                           stderr=subprocess.PIPE, cwd=cwd or self.dir, env=environment,
                           timeout=timeout)
        return Result(p.stdout or b"", p.stderr, p.returncode)

    def narvo(self, *args, **kw):
        """Runs a fresh copy of narvo placed in bin/ of the scratch folder."""
        program = self.install()
        return self.run_program(program, *args, **kw)

    def start_program(self, program, *args, stdin=subprocess.DEVNULL, env=None, limit=None):
        """Starts program with args (bytes or Shift-JIS str) and pipes on stdout and stderr;
        limit caps its address space (bytes). POSIX programs only."""
        argv = [a if isinstance(a, bytes) else sjis(a) for a in args]

        def cap():
            resource.setrlimit(resource.RLIMIT_AS, (limit, limit))

        if limit:
            with open(program, "rb") as f:
                # The sanitizers and an emulator reserve much address space up front.
                if b"__asan_init" in f.read() or CONFIG["emulator"]:
                    limit = None
        return subprocess.Popen(emulated([program] + argv), stdin=stdin, stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, env=self.environment(env),
                                preexec_fn=cap if limit else None)

    def ends_by_itself(self, process, timeout=10):
        """True when process ends within timeout with its standard input still open;
        else it is killed."""
        try:
            process.wait(timeout=timeout)
            return True
        except subprocess.TimeoutExpired:
            process.kill()
            return False

    def finish(self, process, timeout=120):
        out, err = process.communicate(timeout=timeout)
        return out, err, process.returncode

    def assertOutput(self, result, expected, status=0):
        said = f"status {result.status}, standard error {result.err[:300]!r}"
        if result.wine:
            said += f", wine: {result.wine[:2000]!r}"
        self.assertEqual(result.out, expected, said)
        self.assertEqual(result.status, status, said)
        if status == 0:
            self.assertEqual(result.err, b"")
