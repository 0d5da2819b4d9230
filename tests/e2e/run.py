#!/usr/bin/env python3
"""Runs one group of end-to-end cases (a module beside this file) against the built programs."""

import argparse
import importlib
import os
import sys
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))
import harness  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--bin", required=True, help="folder holding narvo and zanpo")
    parser.add_argument("--suffix", default="", help="program suffix (.exe for Windows)")
    parser.add_argument("--emulator", default="", help="runner prefix, e.g. wine64")
    parser.add_argument("--group", required=True, help="module name, e.g. search")
    parser.add_argument("-k", dest="pattern", default=None, help="only cases matching this")
    args = parser.parse_args()
    harness.CONFIG.update(bin=os.path.abspath(args.bin), suffix=args.suffix,
                          emulator=args.emulator)
    module = importlib.import_module("test_" + args.group)
    loader = unittest.TestLoader()
    if args.pattern:
        loader.testNamePatterns = ["*" + args.pattern + "*"]
    suite = loader.loadTestsFromModule(module)
    result = unittest.TextTestRunner(verbosity=2).run(suite)
    if result.testsRun == 0 and not loader.errors:
        print("no cases of this group apply to this platform")
        sys.exit(0)
    sys.exit(0 if result.wasSuccessful() else 1)


if __name__ == "__main__":
    main()
