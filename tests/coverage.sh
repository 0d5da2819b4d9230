#!/bin/bash
# Line coverage of the product sources by the unit and end-to-end tests:
# builds the coverage preset (gcc --coverage), runs every test, then reads the
# counts with plain gcov and prints each source file's lines, the lines run and
# the lines never run.
#
#   tests/coverage.sh            build, test and report
#   REPORT_ONLY=1 tests/coverage.sh   report the counts of the last run again
#   MIN=98 tests/coverage.sh     also fail when the total is below MIN per cent
#
# Counted: the hand-written sources the POSIX build compiles (engine/,
# helpers/, platform/, frontends/, headers included). Not counted: the
# generated tables and texts, and the code of a scan level this processor
# cannot run (the NARVO_SCAN_AVX512 parts without AVX-512; the NEON file
# compiles to nothing here).
set -euo pipefail
cd "$(dirname "$0")/.."
build=build/coverage
if [ -z "${REPORT_ONLY:-}" ]; then
  cmake --preset coverage >/dev/null
  cmake --build --preset coverage -j"${JOBS:-2}" >/dev/null
  find "$build" -name '*.gcda' -delete
  ctest --preset coverage -j"${JOBS:-2}" | tail -n 3
fi

python3 - "$build" "${MIN:-0}" <<'EOF'
import glob
import gzip
import json
import os
import re
import subprocess
import sys
import tempfile

build, minimum = sys.argv[1], float(sys.argv[2])
source = os.getcwd()
counted = ("engine/", "helpers/", "platform/", "frontends/")
with open("/proc/cpuinfo") as f:
    flags = f.read()
avx512 = " avx512bw" in flags and " avx512f" in flags

objects = [d for target in ("narvo_core", "narvo", "zanpo")
           for d in glob.glob(f"{build}/CMakeFiles/{target}.dir/**/*.gcda", recursive=True)]
if not objects:
    sys.exit("no counts: run the tests of the coverage preset first")

lines = {}  # source file -> {line: count}
with tempfile.TemporaryDirectory() as scratch:
    subprocess.run(["gcov", "--json-format"] + [os.path.abspath(o) for o in objects],
                   cwd=scratch, check=True, stdout=subprocess.DEVNULL)
    for name in glob.glob(f"{scratch}/*.gcov.json.gz"):
        with gzip.open(name) as f:
            report = json.load(f)
        for entry in report["files"]:
            path = os.path.relpath(os.path.join(report["current_working_directory"],
                                                entry["file"]), source)
            if not path.startswith(counted):
                continue
            counts = lines.setdefault(path, {})
            for line in entry["lines"]:
                n = line["line_number"]
                counts[n] = counts.get(n, 0) + line["count"]


def left_out(path):
    """Line numbers inside the parts of a level this processor cannot run, and
    lines of a lone brace: at -O0 gcc counts on a function's closing brace the
    code that destroys its locals when an exception passes (and the return
    after a call that never returns), which no statement of the line holds."""
    out, depth, inside = set(), 0, False
    with open(path, encoding="utf-8") as f:
        for number, text in enumerate(f, 1):
            directive = text.strip()
            if directive in ("{", "}", "};"):
                out.add(number)
            if inside:
                out.add(number)
                if directive.startswith("#if"):
                    depth += 1
                elif directive.startswith("#endif"):
                    depth -= 1
                    inside = depth > 0
            elif not avx512 and re.match(r"#if NARVO_SCAN_AVX512\b", directive):
                inside, depth = True, 1
                out.add(number)
    return out


def ranges(numbers):
    parts, start = [], None
    for i, n in enumerate(numbers):
        if start is None:
            start = n
        if i + 1 == len(numbers) or numbers[i + 1] != n + 1:
            parts.append(str(start) if start == n else f"{start}-{n}")
            start = None
    return ",".join(parts)


total = run = 0
print(f"{'file':34} {'lines':>6} {'run':>6} {'%':>6}  never run")
for path in sorted(lines):
    skip = left_out(path)
    counts = {n: c for n, c in lines[path].items() if n not in skip}
    if not counts:
        continue
    never = sorted(n for n, c in counts.items() if c == 0)
    total += len(counts)
    run += len(counts) - len(never)
    share = 100.0 * (len(counts) - len(never)) / len(counts)
    print(f"{path:34} {len(counts):6} {len(counts) - len(never):6} {share:6.1f}  {ranges(never)}")
share = 100.0 * run / total
print(f"{'total':34} {total:6} {run:6} {share:6.1f}")
if share < minimum:
    sys.exit(f"line coverage {share:.1f} % is below {minimum} %")
EOF
