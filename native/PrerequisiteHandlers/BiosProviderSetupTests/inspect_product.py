#!/usr/bin/python3
"""Checks the shipped x86 executable by inspection, since this machine cannot run it:
image kind, manifest, version block and imports."""
import re
import sys

import pefile

SYSTEM_DLLS = {"kernel32.dll", "advapi32.dll", "shlwapi.dll", "msvcrt.dll", "user32.dll"}


def version_strings(pe):
    found = {}
    for info in getattr(pe, "FileInfo", []) or []:
        for entry in info:
            for table in getattr(entry, "StringTable", []):
                for key, value in table.entries.items():
                    found[(table.LangID.decode(), key.decode())] = value.decode()
    return found


def manifest(pe):
    for kind in pe.DIRECTORY_ENTRY_RESOURCE.entries:
        if kind.id == 24:  # RT_MANIFEST
            for name in kind.directory.entries:
                for lang in name.directory.entries:
                    data = lang.data.struct
                    return name.id, pe.get_data(data.OffsetToData, data.Size).decode()
    return None, ""


def main(path):
    pe = pefile.PE(path)
    problems = []

    def expect(what, actual, wanted):
        if actual != wanted:
            problems.append(f"{what}: {actual!r}, expected {wanted!r}")

    expect("optional header magic (PE32)", hex(pe.OPTIONAL_HEADER.Magic), hex(0x10B))
    expect("machine (i386)", hex(pe.FILE_HEADER.Machine), hex(0x14C))
    expect("subsystem (console)", pe.OPTIONAL_HEADER.Subsystem, 3)
    expect("PE time stamp", pe.FILE_HEADER.TimeDateStamp, 0)

    resource_id, text = manifest(pe)
    expect("manifest resource id", resource_id, 1)
    level = re.search(r'<requestedExecutionLevel\s+level="([^"]*)"\s+uiAccess="([^"]*)"', text)
    expect("requested execution level", level.groups() if level else None,
           ("requireAdministrator", "false"))

    fixed = pe.VS_FIXEDFILEINFO[0]
    expect("fixed file version", (fixed.FileVersionMS, fixed.FileVersionLS), (0x10000, 0x1))
    expect("fixed product version", (fixed.ProductVersionMS, fixed.ProductVersionLS),
           (0x10000, 0x1))
    strings = version_strings(pe)
    expect("FileVersion", strings.get(("040904b0", "FileVersion")), "1.0.0.1")
    expect("ProductVersion", strings.get(("040904b0", "ProductVersion")), "11.0.0.1")
    for key in ("CompanyName", "ProductName", "FileDescription", "OriginalFilename"):
        if not strings.get(("040904b0", key)):
            problems.append(f"{key} missing from the 040904b0 string table")

    imported = {entry.dll.decode().lower() for entry in pe.DIRECTORY_ENTRY_IMPORT}
    foreign = sorted(imported - SYSTEM_DLLS)
    expect("imports outside the system DLLs", foreign, [])

    # SHLWAPI is delay-loaded, by undecorated name, through the runtime's own helper.
    with open(path, "rb") as f:
        image = f.read()
    if b"SHLWAPI.dll\0" not in image or b"PathIsDirectoryA\0" not in image:
        problems.append("no delay import of PathIsDirectoryA from SHLWAPI.dll")

    for problem in problems:
        print(problem)
    print(f"{path}: imports {sorted(imported)}; {len(problems)} problem(s)")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1]))
