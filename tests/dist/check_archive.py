#!/usr/bin/python3
"""Checks one release archive without running anything, so that an archive for
an architecture this machine cannot execute is still checked.

    check_archive.py --root REPOSITORY ZIP

ZIP is named QAVDemo-<version>-win32.zip or -win64.zip. It must hold exactly the
release's files, each text identical to its source, and its programs must pass
tests/static/check_pe.py for the archive's architecture and version. Its texts
name no folder of the source tree that the archive does not hold (contract/,
bench/...): a reader of the archive has only the archive. Prints one line per
problem and exits 1 if there is any.
"""
import argparse
import pathlib
import re
import subprocess
import sys
import tempfile
import zipfile

# Entry in the archive: its source in the repository, or None for a built file.
ENTRIES = {
    "QAVDemo.exe": None,
    "QAV.dll": None,
    "qavcheck.exe": None,
    "QAVInterface.h": "contract/QAVInterface.h",
    "examples/minimal/minimal.c": "examples/minimal/minimal.c",
    "examples/minimal/minimal.def": "examples/minimal/minimal.def",
    "examples/minimal/README.md": "examples/minimal/README.md",
    "examples/minimal-cpp/minimal.cpp": "examples/minimal-cpp/minimal.cpp",
    "examples/minimal-cpp/README.md": "examples/minimal-cpp/README.md",
    "docs/language.md": "docs/language.md",
    "docs/authors.md": "docs/authors.md",
    "README.md": "docs/README-dist.md",
    "LICENSE.txt": "LICENSE",
}
ARCHES = {"win32": "x86", "win64": "x64"}
# Folders of the source tree that the archive leaves out; a text that names one points nowhere.
SOURCE_ONLY = re.compile(r"(?<![\w./-])(?:app|bench|binding|cmake|contract|framework|interpreter|scripts|tests|"
                         r"tools|util)/")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--root", type=pathlib.Path, required=True)
    parser.add_argument("zip", type=pathlib.Path)
    args = parser.parse_args()

    problems = []
    name = re.fullmatch(r"QAVDemo-([0-9.]+)-(win32|win64)\.zip", args.zip.name)
    if not name:
        print(f"{args.zip.name}: not named QAVDemo-<version>-win32.zip or -win64.zip")
        return 1
    version, arch = name.group(1), ARCHES[name.group(2)]
    cmake = (args.root / "CMakeLists.txt").read_text()
    project = re.search(r"^project\(QAVDemo VERSION ([0-9.]+)", cmake, re.M)
    if not project or project.group(1) != version:
        problems.append(f"version {version} is not the project's")

    with zipfile.ZipFile(args.zip) as archive:
        names = archive.namelist()
        if archive.testzip() is not None:
            problems.append(f"damaged entry {archive.testzip()}")
        for entry in sorted(set(ENTRIES) - set(names)):
            problems.append(f"{entry}: missing")
        for entry in sorted(set(names) - set(ENTRIES)):
            problems.append(f"{entry}: not part of the release")
        if len(names) != len(set(names)):
            problems.append("an entry is stored twice")
        for entry, source in ENTRIES.items():
            if source and entry in names and archive.read(entry) != (args.root / source).read_bytes():
                problems.append(f"{entry}: differs from {source}")
            if source and entry in names and entry.endswith((".md", ".c", ".cpp", ".h", ".def")):
                for number, line in enumerate(archive.read(entry).decode("utf-8").splitlines(), 1):
                    found = SOURCE_ONLY.search(line)
                    if found:
                        problems.append(f"{entry}:{number}: names {found.group(0)}, which the archive does not hold")
        with tempfile.TemporaryDirectory() as unpacked:
            for entry in ("QAVDemo.exe", "QAV.dll", "qavcheck.exe"):
                if entry in names:
                    archive.extract(entry, unpacked)
            pe = subprocess.run(["/usr/bin/python3", str(args.root / "tests/static/check_pe.py"), "--arch", arch,
                                 "--version", version, unpacked], capture_output=True, text=True)
            if pe.returncode != 0:
                problems += [f"program files: {line}" for line in pe.stdout.splitlines()[:-1]]

    for problem in problems:
        print(f"{args.zip.name}: {problem}")
    print(f"{args.zip.name}: {len(names)} entries, {len(problems)} problems")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
