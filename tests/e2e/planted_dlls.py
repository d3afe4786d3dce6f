#!/usr/bin/env python3
"""DLLs named like the system libraries the setup program uses, planted in
its download folder, must never be loaded by it, nor by the uninstaller it
installs when they lie beside that (see harness.py for how to
run this). Wine takes its own builtin copy of these names by default;
native-first overrides make it search the program's folder first, as
Windows does for libraries that are not known DLLs."""
import os
import shutil
import sys
import time

import pefile

import harness
from harness import *  # noqa: F401,F403  the shared steps and checks

PLANTED = ["ole32", "olepro32", "shell32", "version", "comctl32"]
NATIVE_FIRST = "mscoree,mshtml=;" + ",".join(PLANTED) + "=n,b"


def markers(folder):
    """{dll: [(what, program)]} from the planted DLLs' marker files; what is
    "static" (taken while the program started), "run-time" or "call NAME"."""
    found = {}
    for name in os.listdir(folder):
        if name.lower().endswith(".dll.loaded"):
            loads = []
            for line in open(os.path.join(folder, name)):
                # The program's path may hold blanks; "call" takes a name.
                words = line.strip().split(" ", 2 if line.startswith("call ") else 1)
                if len(words) > 1:
                    loads.append((" ".join(words[:-1]), words[-1]))
            found[name[:-len(".dll.loaded")].lower()] = loads
    return found


def plant(folder):
    source = os.path.join(harness.BUILD, "planted-dlls")
    for dll in PLANTED:
        shutil.copy(os.path.join(source, dll + ".dll"), folder)


@scenario
def planted_dlls_stay_unloaded(name):
    setup = stage(name, addons=["pictavo"])
    folder = os.path.dirname(setup)
    plant(folder)
    # The control: a program that loads the names bare takes every planted
    # copy under these overrides, so the markers do tell.
    probe = os.path.join(folder, "load_by_name.exe")
    shutil.copy(os.path.join(harness.BUILD, "planted-dlls", "load_by_name.exe"), probe)
    result = wine(windows(probe), *[dll + ".dll" for dll in PLANTED],
                  extra_env={"WINEDLLOVERRIDES": NATIVE_FIRST})
    seen = markers(folder)
    check(result.returncode == 0 and sorted(seen) == sorted(PLANTED) and
          all(("run-time", windows(probe)) in loads for loads in seen.values()),
          f"the control did not load every planted DLL: {result.stdout!r} {seen}")
    for entry in os.listdir(folder):
        if entry.endswith(".loaded"):
            os.unlink(os.path.join(folder, entry))

    # A whole installation, with the browse dialog opened and closed on the
    # way: version lookups (add-ons, installer copy), the list view and its
    # images, special folders, shortcuts and file-type notification.
    steps = [*to_destination_page(), "click", WIZARD, BROWSE,
             "click", "Browse for Folder", "2", "gone", "Browse for Folder",
             *through_to_complete(True), "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0"]
    result = wine(os.path.join(harness.BUILD, "tonvaro-driver.exe"), "--timeout", "90",
                  windows(setup), *steps, extra_env={"WINEDLLOVERRIDES": NATIVE_FIRST},
                  timeout=120)
    print(result.stdout, end="")
    check(result.returncode == 0, "the driver reported a failed step")
    check(os.path.isfile(os.path.join(desktop(), "Quenvale Tonvaro.lnk")), "no desktop link")
    check(os.path.isfile(os.path.join(programs_group(), "Quenvale Tonvaro.lnk")), "no program link")
    # What the setup program decides itself: what it imports, what it loads
    # while it runs and whose functions it calls. Wine's own user32 imports
    # version.dll, so under these overrides the loader takes the planted one
    # at every program's start (the control's too) and user32 calls it;
    # Windows' user32 does not.
    imported = {entry.dll.decode().lower() for entry in pefile.PE(setup).DIRECTORY_ENTRY_IMPORT}
    check(not imported & {dll + ".dll" for dll in PLANTED}, f"imports {sorted(imported)}")
    setup_loads = {dll: [how for how, program in loads if program == windows(setup)]
                   for dll, loads in markers(folder).items()}
    print(f"planted DLLs taken by the setup program: {setup_loads}")
    check(not any(how == "run-time" or how == "call " + name
                  for hows in setup_loads.values() for how in hows
                  for name in ("GetFileVersionInfoSizeA", "GetFileVersionInfoA", "VerQueryValueA")),
          f"the setup program loaded planted DLLs: {setup_loads}")

    # The uninstaller it installed, with the same DLLs beside it, and its
    # copy in TEMP, which does the removal.
    installed = linux(DEFAULT_DESTINATION)
    plant(installed)
    result = wine(os.path.join(harness.BUILD, "tonvaro-driver.exe"), "--timeout", "60",
                  windows(os.path.join(installed, "Deinstall.exe")),
                  "box", "Quenvale Tonvaro Uninstall", "52", "yes", "*", "exit", "0",
                  extra_env={"WINEDLLOVERRIDES": NATIVE_FIRST}, timeout=90)
    print(result.stdout, end="")
    check(result.returncode == 0, "the driver reported a failed step")
    for _ in range(300):
        if not os.path.exists(os.path.join(installed, "Zaphio.exe")) and not prefix_processes("/remove"):
            break
        time.sleep(0.1)
    check(not os.path.exists(os.path.join(installed, "Zaphio.exe")), "the uninstaller removed nothing")
    deinstall_loads = {dll: [how for how, program in loads if program.endswith("Deinstall.exe")]
                       for dll, loads in markers(installed).items()}
    print(f"planted DLLs taken by the uninstaller: {deinstall_loads}")
    # Only version.dll may be taken, at the start, for Wine's user32.
    check(not any(hows for dll, hows in deinstall_loads.items() if dll != "version"),
          f"the uninstaller loaded planted DLLs: {deinstall_loads}")


if __name__ == "__main__":
    sys.exit(harness.main())
