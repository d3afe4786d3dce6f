#!/usr/bin/env python3
"""Static check of the application manifest of shipped programs: one
resource of type 24 (RT_MANIFEST) with id 1, well-formed XML, and exactly the
elements and attributes below: the execution level "highestAvailable" and
the supportedOS ids of Windows Vista to 11, with no Common Controls 6
dependency and no DPI declaration.

    check_manifest.py PROGRAM..."""
import sys
import xml.etree.ElementTree as ElementTree

import pefile

ASM_V1 = "{urn:schemas-microsoft-com:asm.v1}"
ASM_V3 = "{urn:schemas-microsoft-com:asm.v3}"
COMPATIBILITY = "{urn:schemas-microsoft-com:compatibility.v1}"
SUPPORTED_OS = ["{e2011457-1546-43c5-a5fe-008deee3d3f0}",  # Vista
                "{35138b9a-5d96-4fbd-8e2d-a2440225f93a}",  # 7
                "{4a2f28e3-53b9-4441-ba9c-d69d4a4a6e38}",  # 8
                "{1f676c76-80e1-4239-95bb-83d0f6d0da78}",  # 8.1
                "{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"]  # 10 and 11
# Every element, as its path of tags with its attributes, in document order.
EXPECTED = [
    (f"{ASM_V1}assembly", {"manifestVersion": "1.0"}),
    (f"{ASM_V1}assembly/{ASM_V3}trustInfo", {}),
    (f"{ASM_V1}assembly/{ASM_V3}trustInfo/{ASM_V3}security", {}),
    (f"{ASM_V1}assembly/{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges", {}),
    (f"{ASM_V1}assembly/{ASM_V3}trustInfo/{ASM_V3}security/{ASM_V3}requestedPrivileges/"
     f"{ASM_V3}requestedExecutionLevel", {"level": "highestAvailable", "uiAccess": "false"}),
    (f"{ASM_V1}assembly/{COMPATIBILITY}compatibility", {}),
    (f"{ASM_V1}assembly/{COMPATIBILITY}compatibility/{COMPATIBILITY}application", {}),
] + [(f"{ASM_V1}assembly/{COMPATIBILITY}compatibility/{COMPATIBILITY}application/"
      f"{COMPATIBILITY}supportedOS", {"Id": os_id}) for os_id in SUPPORTED_OS]


def manifests(pe):
    """[(id, bytes)] of the program's RT_MANIFEST resources."""
    found = []
    resources = getattr(pe, "DIRECTORY_ENTRY_RESOURCE", None)
    for resource_type in resources.entries if resources else []:
        if resource_type.id != 24:
            continue
        for resource in resource_type.directory.entries:
            for language in resource.directory.entries:
                data = language.data.struct
                found.append((resource.id, pe.get_data(data.OffsetToData, data.Size)))
    return found


def elements(node, path=""):
    path = f"{path}/{node.tag}" if path else node.tag
    yield path, dict(node.attrib)
    for child in node:
        yield from elements(child, path)


def check(program):
    found = manifests(pefile.PE(program))
    if [resource_id for resource_id, _ in found] != [1]:
        return [f"manifest resources {[resource_id for resource_id, _ in found]}, not one of id 1"]
    text = found[0][1]
    try:
        root = ElementTree.fromstring(text)
    except ElementTree.ParseError as error:
        return [f"the manifest is not well-formed XML: {error}"]
    actual = list(elements(root))
    problems = [f"missing: {e}" for e in EXPECTED if e not in actual]
    problems += [f"not expected: {e}" for e in actual if e not in EXPECTED]
    print(f"{program}: manifest of {len(text)} bytes, {len(actual)} elements")
    return problems


def main() -> int:
    failed = 0
    for program in sys.argv[1:]:
        for problem in check(program):
            print(f"check_manifest: {program}: {problem}")
            failed = 1
    return failed


if __name__ == "__main__":
    sys.exit(main())
