#!/usr/bin/env python3
"""What a ctest run did, from the JUnit file that `ctest --output-junit` wrote:

    ctest-junit.py FILE            "TOTAL FAILED SKIPPED", or nothing when the file
                                   names no test (ctest found none, or ended early)
    ctest-junit.py --failed FILE   the names of the failed tests, one a line

A test that did not run (skipped, disabled, or its program missing) counts as
skipped; a test that failed or timed out, as failed.
"""
import sys
import xml.etree.ElementTree as ElementTree


def statuses(path):
    try:
        root = ElementTree.parse(path).getroot()
    except (OSError, ElementTree.ParseError):
        return []
    return [(case.get("name", ""), case.get("status", "")) for case in root.iter("testcase")]


def main(args):
    if args[:1] == ["--failed"]:
        for name, status in statuses(args[1]):
            if status == "fail":
                print(name)
        return 0
    tests = statuses(args[0])
    if tests:
        failed = sum(status == "fail" for _, status in tests)
        skipped = sum(status not in ("run", "fail") for _, status in tests)
        print(len(tests), failed, skipped)
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
