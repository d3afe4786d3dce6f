#!/usr/bin/env python3
"""Static checks of a shipped program (the setup, the uninstaller it
installs): the import table equals the reviewed list, only the allowed
system DLLs are imported, the subsystem version is 4.0, no time stamp of the
build is left in the file, code and data stay within their budget, and the
resources (the payload) start at a page-aligned file offset, which Wine
needs to map them instead of reading them whole at start (only where they
hold a payload).

    check_pe.py PROGRAM REVIEWED_IMPORTS [BUDGET_BYTES]"""
import sys

import pefile

# Known DLLs on Windows NT, never searched for beside the program; the
# others it uses are loaded from the system directory at run time.
ALLOWED = {"KERNEL32.DLL", "USER32.DLL", "GDI32.DLL", "ADVAPI32.DLL"}
# Everything but the resources, as stored in the file: a change that grows
# the setup past 36 KiB (35,840 bytes now) has to be looked at, not slipped in.
CODE_AND_DATA_BUDGET = 36 * 1024


def main() -> int:
    exe, expected_file = sys.argv[1], sys.argv[2]
    budget = int(sys.argv[3]) if len(sys.argv) > 3 else CODE_AND_DATA_BUDGET
    pe = pefile.PE(exe)
    problems = []

    actual = set()
    for entry in getattr(pe, "DIRECTORY_ENTRY_IMPORT", []):
        dll = entry.dll.decode().upper()
        if dll not in ALLOWED:
            problems.append(f"imports from {dll}, which is not allowed")
        for imp in entry.imports:
            name = imp.name.decode() if imp.name else f"#{imp.ordinal}"
            actual.add(f"{dll}!{name}")
    expected = set()
    with open(expected_file) as f:
        for line in f:
            line = line.strip()
            if line and not line.startswith("#"):
                expected.add(line)
    for missing in sorted(expected - actual):
        problems.append(f"expected import not found: {missing}")
    for extra in sorted(actual - expected):
        problems.append(f"import not in the reviewed list: {extra}")

    opt = pe.OPTIONAL_HEADER
    if (opt.MajorSubsystemVersion, opt.MinorSubsystemVersion) != (4, 0):
        problems.append(f"subsystem version {opt.MajorSubsystemVersion}.{opt.MinorSubsystemVersion}, not 4.0")
    if opt.Subsystem != 2:
        problems.append(f"subsystem {opt.Subsystem}, not 2 (Windows GUI)")
    if pe.FILE_HEADER.TimeDateStamp != 0:
        problems.append(f"file header time stamp {pe.FILE_HEADER.TimeDateStamp:#x}")
    if hasattr(pe, "DIRECTORY_ENTRY_RESOURCE") and pe.DIRECTORY_ENTRY_RESOURCE.struct.TimeDateStamp != 0:
        problems.append("resource directory carries a time stamp")
    if hasattr(pe, "DIRECTORY_ENTRY_DEBUG"):
        problems.append("a debug directory is present")
    code_and_data = sum(section.SizeOfRawData for section in pe.sections
                        if section.Name.rstrip(b"\0") != b".rsrc")
    if code_and_data > budget:
        problems.append(f"code and data take {code_and_data} bytes, over the budget of {budget}")
    # Only a payload is worth a gap before the resources.
    resource_types = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    carries_payload = resource_types is not None and any(
        str(entry.name) == "RAWDATA" for entry in resource_types.entries)
    for section in pe.sections:
        if carries_payload and section.Name.rstrip(b"\0") == b".rsrc" and section.PointerToRawData % 4096 != 0:
            problems.append(f"the resources start at file offset {section.PointerToRawData:#x}, not on a 4 KiB page")
    if hasattr(pe, "DIRECTORY_ENTRY_EXPORT"):
        problems.append("the program exports symbols")

    for p in problems:
        print("check_pe:", p)
    sizes = {s.Name.rstrip(b"\0").decode(): s.SizeOfRawData for s in pe.sections}
    code_and_data = sum(v for k, v in sizes.items() if k != ".rsrc")
    print(f"{exe}: {len(actual)} imports, sections {sizes}, without .rsrc {code_and_data} bytes")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
