#!/usr/bin/python3
"""Checks the Windows files of one build without running them, so that a build
for an architecture this machine cannot execute is still checked.

    check_pe.py --arch x86|x64 --version 1.0.0.0 BIN_DIR

Every .exe and .dll in BIN_DIR must be of the architecture and import system
DLLs only. QAVDemo.exe must be a GUI program carrying its icon, manifest and
version record; QAV.dll and the templates QAVMinimal.dll and QAVMinimalCpp.dll
must export the two entry points by their plain names; qavcheck.exe must be a
console program.
Prints one line per problem and exits 1 if there is any.
"""
import argparse
import pathlib
import struct
import sys

import pefile

MACHINES = {"x86": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_I386"], 0x10B, "PE32"),
            "x64": (pefile.MACHINE_TYPE["IMAGE_FILE_MACHINE_AMD64"], 0x20B, "PE32+")}
SYSTEM_DLLS = {"kernel32.dll", "user32.dll", "gdi32.dll", "comctl32.dll", "ole32.dll", "oleaut32.dll",
               "advapi32.dll", "shell32.dll", "msvcrt.dll", "version.dll", "ntdll.dll", "shlwapi.dll",
               "comdlg32.dll", "ws2_32.dll", "bcrypt.dll", "imagehlp.dll", "dbghelp.dll", "psapi.dll"}
MANIFEST_NEEDLES = [
    "<dpiAware xmlns=\"http://schemas.microsoft.com/SMI/2005/WindowsSettings\">true/pm</dpiAware>",
    ">PerMonitorV2, PerMonitor</dpiAwareness>",
    "name=\"Microsoft.Windows.Common-Controls\" version=\"6.0.0.0\"",
    "level=\"asInvoker\"",
    "{e2011457-1546-43c5-a5fe-008deee3d3f0}", "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",
    "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}", "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",
    "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}",
]
RT_ICON, RT_GROUP_ICON, RT_VERSION, RT_MANIFEST = 3, 14, 16, 24


class Checker:
    def __init__(self):
        self.problems = []
        self.checked = 0

    def expect(self, condition, file, what):
        self.checked += 1
        if not condition:
            self.problems.append(f"{file.name}: {what}")


def imported_dlls(pe):
    return [entry.dll.decode("ascii", "replace").lower() for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", [])]


def resource_data(pe, type_id, name=None):
    """The data of the first resource of a type, by id or by name (any language)."""
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for kind in resources.entries if resources else []:
        if kind.id != type_id:
            continue
        for entry in kind.directory.entries:
            label = str(entry.name) if entry.name is not None else entry.id
            if name is not None and label != name:
                continue
            leaf = entry.directory.entries[0].data.struct
            return pe.get_data(leaf.OffsetToData, leaf.Size)
    return None


def translation(var):
    """A VarFileInfo entry's language and code page as text, such as "0x0409 0x04e4"."""
    value = (var.entry or {}).get(b"Translation")
    return value.decode("ascii", "replace") if isinstance(value, bytes) else value


def check_common(check, pe, file, arch):
    machine, magic, kind = MACHINES[arch]
    check.expect(pe.FILE_HEADER.Machine == machine, file, f"not built for {arch}")
    check.expect(pe.OPTIONAL_HEADER.Magic == magic, file, f"not {kind}")
    foreign = [dll for dll in imported_dlls(pe)
               if dll not in SYSTEM_DLLS and not dll.startswith("api-ms-win-")]
    check.expect(not foreign, file, f"imports DLLs that are not the system's: {', '.join(foreign)}")


def check_program(check, pe, file, version):
    check.expect(pe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_GUI"], file,
                 "not a GUI program")
    group = resource_data(pe, RT_GROUP_ICON, "MAINICON")
    check.expect(group is not None, file, "no MAINICON icon")
    if group is not None:
        count = struct.unpack_from("<H", group, 4)[0]
        sizes, depths = set(), set()
        for i in range(count):
            width, _, _, _, _, bits, _, _ = struct.unpack_from("<BBBBHHIH", group, 6 + 14 * i)
            sizes.add(width or 256)
            depths.add(bits)
        check.expect(sizes == {16, 24, 32, 48, 256}, file, f"MAINICON sizes are {sorted(sizes)}")
        check.expect(depths == {32}, file, f"MAINICON colour depths are {sorted(depths)}")
    manifest = resource_data(pe, RT_MANIFEST)
    check.expect(manifest is not None, file, "no manifest")
    if manifest is not None:
        text = manifest.decode("utf-8", "replace")
        for needle in MANIFEST_NEEDLES:
            check.expect(needle in text, file, f"manifest lacks {needle}")
        check.expect(f'name="QAVDemo" version="{version}"' in text, file, f"manifest version is not {version}")
    fixed = getattr(pe, "VS_FIXEDFILEINFO", None)
    check.expect(bool(fixed), file, "no version record")
    if fixed:
        numbers = tuple(int(n) for n in version.split("."))
        info = fixed[0]
        found = (info.FileVersionMS >> 16, info.FileVersionMS & 0xFFFF, info.FileVersionLS >> 16,
                 info.FileVersionLS & 0xFFFF)
        check.expect(found == numbers, file, f"file version is {found}")
        languages = [translation(var) for info in getattr(pe, "FileInfo", [[]])[0]
                     if info.Key == b"VarFileInfo" for var in info.Var]
        check.expect("0x0409 0x04e4" in languages, file, f"version record is not U.S. English, 1252: {languages}")


def check_library(check, pe, file):
    check.expect(pe.FILE_HEADER.Characteristics & pefile.IMAGE_CHARACTERISTICS["IMAGE_FILE_DLL"], file,
                 "not a DLL")
    exports = getattr(pe, "DIRECTORY_ENTRY_EXPORT", None)
    names = {symbol.name.decode("ascii", "replace") for symbol in (exports.symbols if exports else [])
             if symbol.name}
    for entry in ("GetQAVInterface", "FreeQAVInterface"):
        check.expect(entry in names, file, f"does not export {entry} by its plain name")


def check_console(check, pe, file):
    check.expect(pe.OPTIONAL_HEADER.Subsystem == pefile.SUBSYSTEM_TYPE["IMAGE_SUBSYSTEM_WINDOWS_CUI"], file,
                 "not a console program")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", choices=sorted(MACHINES), required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("bin", type=pathlib.Path)
    args = parser.parse_args()

    check = Checker()
    files = sorted(p for p in args.bin.iterdir() if p.suffix.lower() in (".exe", ".dll"))
    names = {f.name for f in files}
    for required in ("QAVDemo.exe", "QAV.dll", "qavcheck.exe"):
        check.expect(required in names, args.bin / required, "missing")
    for file in files:
        pe = pefile.PE(str(file))
        check_common(check, pe, file, args.arch)
        if file.name == "QAVDemo.exe":
            check_program(check, pe, file, args.version)
        elif file.name in ("QAV.dll", "QAVMinimal.dll", "QAVMinimalCpp.dll"):
            check_library(check, pe, file)
        elif file.name == "qavcheck.exe":
            check_console(check, pe, file)
    for problem in check.problems:
        print(problem)
    print(f"{len(files)} files of the {args.arch} build, {check.checked} checks, {len(check.problems)} problems")
    return 1 if check.problems else 0


if __name__ == "__main__":
    sys.exit(main())
