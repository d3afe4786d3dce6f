#!/usr/bin/env python3
"""Install, upgrade, repair and uninstall of the sample product, each driven
as a user would, then the prefix's file tree and registry compared with what
they were before the installation (see harness.py for how to run them)."""
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

import harness
from harness import *  # noqa: F401,F403  the shared steps and checks

UNINSTALL = "Quenvale Tonvaro Uninstall"
CONFIRM = (r"Do you want to remove Quenvale Tonvaro and all of its components from your "
           r"computer?\n\nFiles of your own in its folders are kept.")
FOREIGN = "Foreign.Playlist"
OTHER_PENDING = r"NUL=C:\WINDOWS\TEMP\OTHER.TMP"
SESSION = r"HKLM\System\CurrentControlSet\Control\Session Manager"

# Wine's own bookkeeping, which changes whatever a program does and
# sometimes late: its configuration and the menu builder's records under
# Software\Wine, and the shell's caches and most-recently-used lists.
# Everything else under these roots is compared.
REGISTRY_ROOTS = [r"HKEY_CURRENT_USER\Software", r"HKEY_LOCAL_MACHINE\Software"]
REGISTRY_NOISE = re.compile(r"\\Software\\Wine(\\|$)|\\(MuiCache|ShellNoRoam|Bags|BagMRU|\w*MRU\w*|"
                            r"Explorer\\(Streams|SessionInfo|FileExts))(\\|$)", re.I)
# In the file tree: Windows itself, the folder for temporary files (the
# uninstaller's copy there is checked on its own), and the Linux menu entries
# that Wine's menu builder makes beside every desktop link.
TREE_NOISE = re.compile(r"^windows(/|$)|^users/[^/]+/(.+/)?Desktop/[^/]*\.desktop$", re.I)


def registry():
    """{key: {value name: data}} of the compared roots, keys without values
    included, through regedit's export."""
    keys = {}
    for root in REGISTRY_ROOTS:
        with tempfile.NamedTemporaryFile(suffix=".reg", dir=C, delete=False) as f:
            path = f.name
        wine("regedit", "/e", windows(path), root)
        raw = open(path, "rb").read()
        os.unlink(path)
        text = raw.decode("utf-16" if raw[:2] == b"\xff\xfe" else "latin-1")
        key = None
        for line in re.sub(r"\\\r?\n\s*", "", text).splitlines():
            if line.startswith("[") and line.endswith("]"):
                key = line[1:-1]
                if not REGISTRY_NOISE.search(key):
                    keys.setdefault(key, {})
                continue
            m = re.match(r'^(@|"(?:[^"\\]|\\.)*")=(.*)$', line)
            if key and m and key in keys:
                keys[key][m.group(1)] = m.group(2)
    return keys


def tree():
    """Every file and folder of drive C, as relative paths; folders end in /."""
    found = set()
    temp = os.path.relpath(temp_dir(), C).replace(os.sep, "/")
    noise = lambda p: TREE_NOISE.match(p) or p.lower() == temp.lower()
    for base, dirs, files in os.walk(C):
        rel = os.path.relpath(base, C).replace(os.sep, "/")
        rel = "" if rel == "." else rel + "/"
        dirs[:] = [d for d in dirs if not noise(rel + d)]
        found.update(rel + d + "/" for d in dirs)
        found.update(rel + f for f in files if not noise(rel + f))
    return found


def snapshot():
    return tree(), registry()


def compare(before, after, made_by_user=()):
    """The prefix is as it was, apart from the user's own files and the folders
    that hold them."""
    files_before, keys_before = before
    files_after, keys_after = after
    allowed = set()
    for path in made_by_user:
        rel = os.path.relpath(path, C).replace(os.sep, "/")
        allowed.add(rel)
        parts = rel.split("/")
        allowed.update("/".join(parts[:i]) + "/" for i in range(1, len(parts)))
    added = sorted(files_after - files_before - allowed)
    removed = sorted(files_before - files_after)
    check(not added and not removed, f"files added {added[:8]}, removed {removed[:8]}")
    check(set(allowed) <= files_after | files_before, f"a file of the user's is gone: {allowed - files_after}")
    changed = sorted(k for k in set(keys_before) | set(keys_after) if keys_before.get(k) != keys_after.get(k))
    check(not changed, "registry keys differ: " + "; ".join(
        f"{k}: {keys_before.get(k)} -> {keys_after.get(k)}" for k in changed[:6]))
    print(f"compared {len(files_after)} files and folders, {len(keys_after)} registry keys")


def install(name, destination=None, setup=None):
    """Installs from the staged setup into `destination`, or where the
    scenario's language installs."""
    setup = setup or os.path.join(download_folder(name), "setup.exe")
    steps = to_destination_page()
    if destination:
        steps += ["type", WIZARD, DESTINATION, destination]
    else:
        steps += choose_destination()
    drive(setup, *steps, *through_to_complete(False),
          "click", WIZARD, START_BOX, "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0")
    return linux(destination or harness.destination())


def removal_copies():
    return set(prefix_processes("/remove"))


def uninstall(directory, answer="yes", code=0):
    """Runs the installation's Deinstall.exe and waits for its copy in TEMP."""
    started = time.time()
    drive(os.path.join(directory, "Deinstall.exe"), "box", UNINSTALL, "52", answer, CONFIRM,
          "exit", str(code))
    time.sleep(0.3)
    for _ in range(300):
        if not removal_copies():
            break
        time.sleep(0.1)
    check(not removal_copies(), "the uninstaller's copy did not end")
    print(f"uninstall answered {answer}: {time.time() - started:.1f} s")


def restart_windows():
    """What a restart does to the uninstaller's copy: it is deleted. Answers
    the copies that were pending."""
    pending = reg_values(SESSION).get("PendingFileRenameOperations", ("", ""))[1]
    copies = re.findall(r"[^\\]*\\Temp\\(QTU\w+\.tmp)\\Deinstall\.exe", pending, re.I)
    wine("wineboot", "-r")
    return copies


def set_foreign_association():
    done = wine("reg", "add", r"HKCU\Software\Classes\.p4u", "/ve", "/d", FOREIGN, "/f")
    # A set-up step that failed must not pass for a fault of the setup.
    check(reg_values(r"HKCU\Software\Classes\.p4u").get("") == ("REG_SZ", FOREIGN),
          f"the foreign association could not be set (reg: {done.returncode} {done.stderr.strip()!r})")


def link_points_at(link, directory):
    """A shell link holds its target as ANSI text: enough to tell which
    installation it points at."""
    return (windows(directory) + "\\Zaphio.exe").encode().lower() in open(link, "rb").read().lower()


@scenario_in("japanese", "traditional_chinese", "cyrillic_user")
def uninstall_leaves_only_what_the_user_made(name):
    set_foreign_association()
    os.makedirs(quick_launch())
    stage(name)
    before = snapshot()
    installed = install(name)
    held = reg_values(r"HKCU\Software\Classes\.p4u")
    check(held.get("QuenvaleTonvaro.OldAssoc") == ("REG_SZ", FOREIGN),
          f"the foreign association was not saved: .p4u holds {held}")
    check(os.path.isfile(os.path.join(quick_launch(), "Quenvale Tonvaro.lnk")), "no Quick Launch link")
    mine = [os.path.join(installed, "My playlist.p4u"), os.path.join(installed, "Skins", "Mine.s4u"),
            os.path.join(programs_group(), "My notes.txt")]
    for path in mine:
        with open(path, "w") as f:
            f.write("the user's own")
    uninstall(installed)
    present = set(os.listdir(temp_dir()))
    copies = restart_windows()
    check(any(c in present for c in copies), f"no removal scheduled for a copy in TEMP: {copies}")
    check(not any(os.path.exists(os.path.join(temp_dir(), c)) for c in copies),
          "a copy survived the restart")
    compare(before, snapshot(), mine)
    check(reg_values(r"HKCU\Software\Classes\.p4u") == {"": ("REG_SZ", FOREIGN)},
          "the foreign association is not back")


@scenario
def uninstall_closes_the_running_player(name):
    stage(name)
    before = snapshot()
    installed = install(name)
    player = start_player(program=os.path.join(installed, "Zaphio.exe"))
    uninstall(installed)
    try:
        player.wait(timeout=10)
    except subprocess.TimeoutExpired:
        raise Failure("the player still runs")
    restart_windows()
    compare(before, snapshot())


@scenario_in("german_ascii")
def uninstall_on_windows_98(name):
    """Keys under HKEY_LOCAL_MACHINE, classes under HKEY_CLASSES_ROOT, and
    the copy's removal through wininit.ini."""
    stage(name)
    wininit = os.path.join(C, "windows", "wininit.ini")
    check(not os.path.exists(wininit), "a wininit.ini is already there")
    # Every line of the section has the same key: another program's line
    # must stay beside ours.
    with open(wininit, "w", newline="") as f:
        f.write("[rename]\r\n" + OTHER_PENDING + "\r\n")
    for program in ["setup.exe", "Deinstall.exe"]:
        wine("reg", "add", rf"HKCU\Software\Wine\AppDefaults\{program}", "/v", "Version",
             "/d", "win98", "/f")
    try:
        before = snapshot()
        installed = install(name)
        check(reg_values(r"HKLM\Software\Quenvale\Quenvale Tonvaro").get("AppDir") ==
              ("REG_SZ", harness.destination()), "not recorded under HKEY_LOCAL_MACHINE")
        uninstall(installed)
        lines = open(wininit, "rb").read().decode("latin-1").splitlines()
        copy = re.match(re.escape("NUL=" + windows(temp_dir())) + r"\\(QTU\w+\.tmp)\\[^\\]+\.EXE$",
                        lines[1] if len(lines) == 3 else "", re.I)
        check(lines[0] == "[rename]" and copy and lines[2] == OTHER_PENDING and
              os.path.isfile(os.path.join(temp_dir(), copy.group(1), "Deinstall.exe")),
              f"wininit.ini: {lines}")
        compare(before, snapshot())
    finally:
        if os.path.exists(wininit):
            os.unlink(wininit)
        wine("reg", "delete", r"HKCU\Software\Wine\AppDefaults\Deinstall.exe", "/f")


@scenario
def uninstall_answered_no_changes_nothing(name):
    stage(name)
    installed = install(name)
    before = snapshot()
    temp_before = set(os.listdir(temp_dir()))
    uninstall(installed, "no", 1)
    compare(before, snapshot())
    check(set(os.listdir(temp_dir())) == temp_before, "a copy was left in TEMP")


@scenario
def upgrade_then_uninstall(name):
    # The upgrade comes as a download of another name; the wizard proposes
    # the installed directory.
    upgrade = os.path.join(os.path.dirname(stage(name)), "setup-upgrade.exe")
    shutil.copy(stage(name), upgrade)
    before = snapshot()
    installed = install(name)
    install(name, setup=upgrade)
    check(os.listdir(os.path.join(installed, "Installer")) == ["setup-upgrade.exe"],
          "the first installer copy stayed")
    uninstall(installed)
    restart_windows()
    compare(before, snapshot())


@scenario
def second_directory_replaces_the_first(name):
    stage(name)
    before = snapshot()
    first = install(name)
    other = os.path.join(C, "e2e", name, "Elsewhere")
    second = install(name, windows(other))
    app = reg_values(r"HKCU\Software\Quenvale\Quenvale Tonvaro")
    check(app.get("AppDir") == ("REG_SZ", windows(other)), f"AppDir {app.get('AppDir')}")
    for link in [os.path.join(programs_group(), "Quenvale Tonvaro.lnk"),
                 os.path.join(desktop(), "Quenvale Tonvaro.lnk")]:
        check(link_points_at(link, second), f"{link} does not point at the new directory")
    uninstall(second)
    check(not os.path.exists(second), "the new installation is still there")
    same_tree(payload_files(os.path.join(C, "e2e", name, "setup.exe")), first)
    # The first directory's own uninstaller removes its files; the registry
    # holds nothing of it any more.
    uninstall(first)
    restart_windows()
    compare(before, snapshot())


@scenario
def recorded_copy_repairs_then_uninstall(name):
    stage(name)
    before = snapshot()
    installed = install(name)
    recorded = reg_values(r"HKCU\Software\Quenvale\Quenvale Tonvaro")["InstallerPath"][1]
    os.unlink(os.path.join(installed, "Zaphio.exe"))
    shutil.rmtree(os.path.join(installed, "Plugins"))
    drive(linux(recorded), *to_destination_page(), "text", DESTINATION, windows(installed),
          *through_to_complete(False), "click", WIZARD, START_BOX, "click", WIZARD, EXIT,
          *ADDON_OFFER, "exit", "0")
    same_tree(payload_files(os.path.join(C, "e2e", name, "setup.exe")), installed)
    check(os.path.isfile(linux(recorded)), "the recorded copy is gone")
    uninstall(installed)
    restart_windows()
    compare(before, snapshot())


@scenario_for("win64")
def i686_setup_in_a_64_bit_prefix_uses_the_32_bit_view(name):
    """The shipped i686 setup as most users run it, on 64-bit Windows: the
    machine-wide keys of the Windows 98 branch land in the 32-bit view
    (Wow6432Node), the NT branch's in HKEY_CURRENT_USER, and its own
    uninstaller removes exactly those again."""
    shipped_tree = os.path.join(os.path.dirname(harness.BUILD), "win32")
    shipped = os.path.join(shipped_tree, "setup.exe")
    check(os.path.isfile(shipped), "the i686 tree is not built")
    # The line that counts the case as skipped where 32-bit Wine cannot run.
    usable = subprocess.run([os.path.join(shipped_tree, "wine-session"), "check"],
                            capture_output=True, text=True)
    if usable.returncode != 0:
        raise Skip(usable.stdout.strip())
    destination = r"C:\Program Files (x86)\Quenvale\Quenvale Tonvaro"
    wininit = os.path.join(C, "windows", "wininit.ini")
    stage(name, setup=shipped)
    for version, key in [("win98", r"HKLM\Software\Wow6432Node\Quenvale\Quenvale Tonvaro"),
                         ("win10", r"HKCU\Software\Quenvale\Quenvale Tonvaro")]:
        for program in ["setup.exe", "Deinstall.exe"]:
            wine("reg", "add", rf"HKCU\Software\Wine\AppDefaults\{program}", "/v", "Version",
                 "/d", version, "/f")
        try:
            before = snapshot()
            install(name)
            installed = linux(destination)
            check(os.path.isfile(os.path.join(installed, "Zaphio.exe")),
                  f"{version}: not installed in {destination}")
            check(reg_values(key).get("AppDir") == ("REG_SZ", destination),
                  f"{version}: AppDir not under {key}")
            uninstall_key = key.split(r"\Quenvale")[0] + \
                r"\Microsoft\Windows\CurrentVersion\Uninstall\Quenvale Tonvaro"
            check("UninstallString" in reg_values(uninstall_key),
                  f"{version}: no uninstall entry under {uninstall_key}")
            check(not reg_values(r"HKLM\Software\Quenvale\Quenvale Tonvaro"),
                  f"{version}: keys in the 64-bit view")
            uninstall(installed)
            compare(before, snapshot())
        finally:
            if os.path.exists(wininit):
                os.unlink(wininit)
            for program in ["setup.exe", "Deinstall.exe"]:
                wine("reg", "delete", rf"HKCU\Software\Wine\AppDefaults\{program}", "/f")


if __name__ == "__main__":
    sys.exit(harness.main())
