#!/usr/bin/env python3
"""End-to-end scenarios: the real setup program in the x86_64 tree's Wine
prefix, driven by tonvaro-driver as a person would, then checked from the
Linux side: the files, the registry, the links, the programs that ran.

    scenarios.py BUILD_DIR SCENARIO     run one scenario
    scenarios.py BUILD_DIR --list       name every scenario
"""
import filecmp
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

BUILD = os.path.abspath(sys.argv[1])
ROOT = os.path.join(BUILD, "wine")
PREFIX = os.path.join(ROOT, "prefix")
C = os.path.join(PREFIX, "drive_c")
SOURCE = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
PACK = os.path.join(os.path.dirname(BUILD), "host", "tonvaro-pack")

WIZARD = "Quenvale Tonvaro Setup"
LICENCE = "License Agreement"
NEXT, PREVIOUS, EXIT, BROWSE = "1004", "1005", "2", "1001"
START_BOX, DESKTOP_BOX, QUICK_BOX, DESTINATION = "1012", "1013", "1014", "1000"
DEFAULT_DESTINATION = r"C:\Program Files\Quenvale\Quenvale Tonvaro"
KNOWN_ADDONS = ["pictavo", "pyrolo", "audiocd"]


class Failure(Exception):
    pass


def check(condition, what):
    if not condition:
        raise Failure(what)


def env():
    e = dict(os.environ)
    e.update(WINEPREFIX=PREFIX, HOME=os.path.join(ROOT, "home"), WINEDEBUG="-all",
             WINEDLLOVERRIDES="mscoree,mshtml=")
    if not e.get("DISPLAY") and os.path.exists(os.path.join(ROOT, "display")):
        e["DISPLAY"] = open(os.path.join(ROOT, "display")).read().strip()
    return e


def wine(*args, extra_env=None, timeout=120):
    """Runs a Windows program. Its output goes through files, not pipes: a
    player that the setup starts inherits them and outlives the run."""
    e = env()
    if extra_env:
        e.update(extra_env)
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        done = subprocess.run([os.path.join(BUILD, "wine-run"), *args], stdout=out, stderr=err,
                              env=e, timeout=timeout)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(done.args, done.returncode,
                                           out.read().decode(errors="replace"),
                                           err.read().decode(errors="replace"))


def windows(path):
    """The Windows name of a path inside drive_c."""
    rel = os.path.relpath(path, C)
    return "C:\\" + rel.replace("/", "\\")


def linux(path):
    """The Linux name of a C: path."""
    check(path[:3].upper() == "C:\\", f"not on drive C: {path}")
    return os.path.join(C, *path[3:].split("\\"))


def user_dir():
    users = [u for u in os.listdir(os.path.join(C, "users")) if u not in ("Public",)]
    return os.path.join(C, "users", users[0])


def programs_group():
    return os.path.join(user_dir(), "AppData", "Roaming", "Microsoft", "Windows", "Start Menu",
                        "Programs", "Quenvale", "Quenvale Tonvaro")


def desktop():
    return os.path.join(user_dir(), "Desktop")


def quick_launch():
    return os.path.join(user_dir(), "AppData", "Roaming", "Microsoft", "Internet Explorer",
                        "Quick Launch")


URLS = os.path.join(C, "tonvaro-opened-urls.txt")

RESET_REG = r"""REGEDIT4

[-HKEY_CURRENT_USER\Software\Quenvale]
[-HKEY_LOCAL_MACHINE\Software\Quenvale]
[-HKEY_CURRENT_USER\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenvale Tonvaro]
[-HKEY_LOCAL_MACHINE\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenvale Tonvaro]
[-HKEY_CURRENT_USER\Software\Classes\.p4u]
[-HKEY_CURRENT_USER\Software\Classes\.s4u]
[-HKEY_CURRENT_USER\Software\Classes\QuenvaleTonvaro.PlayList]
[-HKEY_CURRENT_USER\Software\Classes\QuenvaleTonvaro.Skin]
[-HKEY_CLASSES_ROOT\.p4u]
[-HKEY_CLASSES_ROOT\.s4u]
[-HKEY_CLASSES_ROOT\QuenvaleTonvaro.PlayList]
[-HKEY_CLASSES_ROOT\QuenvaleTonvaro.Skin]
[-HKEY_CURRENT_USER\Software\Wine\AppDefaults\setup.exe]
"""


def reset(scenario):
    """A prefix as a first-time user has it: nothing of ours installed."""
    subprocess.run(["pkill", "-f", r"Zaphio\.exe"], capture_output=True)
    with tempfile.NamedTemporaryFile("w", suffix=".reg", dir=C, delete=False) as f:
        f.write(RESET_REG)
    wine("regedit", "/s", windows(f.name))
    os.unlink(f.name)
    for path in [os.path.join(C, "Program Files", "Quenvale"), os.path.dirname(programs_group()),
                 quick_launch(), os.path.join(C, "e2e", scenario), URLS,
                 os.path.join(desktop(), "Quenvale Tonvaro.lnk")]:
        if os.path.isdir(path):
            shutil.rmtree(path)
        elif os.path.exists(path):
            os.unlink(path)


def stage(scenario, addons=(), setup="setup.exe"):
    """The setup program in a download folder of its own, add-ons beside it."""
    folder = os.path.join(C, "e2e", scenario)
    os.makedirs(folder, exist_ok=True)
    shutil.copy(os.path.join(BUILD, setup), os.path.join(folder, "setup.exe"))
    for addon in addons:
        shutil.copy(os.path.join(BUILD, "addons", f"{addon}-setup.exe"), folder)
    return os.path.join(folder, "setup.exe")


def drive(setup, *steps, cwd=None, expect_ok=True, timeout=90):
    args = [os.path.join(BUILD, "tonvaro-driver.exe"), "--timeout", str(timeout)]
    if cwd:
        args += ["--cwd", cwd]
    result = wine(*args, windows(setup), *steps, timeout=timeout + 30)
    print(result.stdout, end="")
    if expect_ok:
        check(result.returncode == 0, "the driver reported a failed step")
    return result.stdout


def opened_urls():
    """What the stand-in browser was asked to open, once it has been."""
    for _ in range(50):
        if os.path.exists(URLS):
            break
        time.sleep(0.1)
    if not os.path.exists(URLS):
        return []
    return [line.strip().strip('"') for line in open(URLS) if line.strip()]


def reg_values(key):
    """{name: (type, data)} of a key, read with Wine's reg tool."""
    result = wine("reg", "query", key)
    values = {}
    for line in result.stdout.splitlines():
        m = re.match(r"^    (.*?)    (REG_\w+)    ?(.*)$", line)
        if m:
            name = "" if m.group(1) == "(Default)" else m.group(1)
            values[name] = (m.group(2), m.group(3))
    return values


def payload_files(setup):
    """The product files that the setup carries, extracted on Linux."""
    out = tempfile.mkdtemp()
    subprocess.run([PACK, "extract", setup, "-d", out], check=True, capture_output=True)
    return out


def same_tree(expected, actual):
    for base, _, files in os.walk(expected):
        for name in files:
            rel = os.path.relpath(os.path.join(base, name), expected)
            other = os.path.join(actual, rel)
            check(os.path.isfile(other), f"{rel} was not installed")
            check(filecmp.cmp(os.path.join(base, name), other, shallow=False),
                  f"{rel} differs from the payload")


# Page walks -------------------------------------------------------------------

def to_destination_page():
    return ["page", "0", "click", WIZARD, NEXT, "click", LICENCE, "1008", "page", "1"]


def through_to_complete(with_extensions):
    steps = ["click", WIZARD, NEXT, "page", "2", "click", WIZARD, NEXT]
    if with_extensions:
        steps += ["page", "3", "click", WIZARD, NEXT,
                  "box", "Proceeding with Add-Ons", "64", "ok", "*"]
    return steps + ["page", "5"]


ADDON_OFFER = ["box", "Add-On Information", "68", "no", "*"]

# Scenarios --------------------------------------------------------------------

SCENARIOS = {}


def scenario(function):
    SCENARIOS[function.__name__] = function
    return function


@scenario
def typical_run(name):
    setup = stage(name, addons=["pictavo"])
    drive(setup, *to_destination_page(),
          "text", DESTINATION, DEFAULT_DESTINATION,
          *through_to_complete(True),
          "checked", START_BOX, "1", "visible", START_BOX, "1",
          "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0")
    installed = linux(DEFAULT_DESTINATION)
    same_tree(payload_files(setup), installed)
    check(os.path.isfile(os.path.join(installed, "Installer", "setup.exe")), "no installer copy")
    app = reg_values(r"HKCU\Software\Quenvale\Quenvale Tonvaro")
    check(app.get("AppDir") == ("REG_SZ", DEFAULT_DESTINATION), f"AppDir {app.get('AppDir')}")
    check(app.get("PlayerVersion", ("",))[0] == "REG_DWORD", "PlayerVersion")
    check(app.get("InstallerPath") == ("REG_SZ", DEFAULT_DESTINATION + r"\Installer\setup.exe"),
          f"InstallerPath {app.get('InstallerPath')}")
    uninstall = reg_values(r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenvale Tonvaro")
    check(uninstall.get("UninstallString") == ("REG_SZ", DEFAULT_DESTINATION + r"\Deinstall.exe"),
          "UninstallString")
    for link in ["Quenvale Tonvaro.lnk", "Help topics for Quenvale Tonvaro.lnk",
                 "Uninstall Quenvale Tonvaro.lnk", "Visit Quenvale Tonvaro Website.url"]:
        check(os.path.isfile(os.path.join(programs_group(), link)), f"no {link}")
    check(os.path.isfile(os.path.join(desktop(), "Quenvale Tonvaro.lnk")), "no desktop link")
    log = open(os.path.join(C, "e2e", name, "addons-ran.log")).read()
    check("pictavo-setup.exe\" -ZaphioSetup" in log, f"the add-on log: {log!r}")
    # The player was started on Close.
    for _ in range(50):
        if subprocess.run(["pgrep", "-f", r"Zaphio\.exe"], capture_output=True).returncode == 0:
            break
        time.sleep(0.1)
    else:
        raise Failure("the player was not started")


@scenario
def exit_on_every_early_page(name):
    setup = stage(name)
    drive(setup, "page", "0", "click", WIZARD, EXIT, "exit", "1")
    drive(setup, *to_destination_page(), "click", WIZARD, EXIT, "exit", "1")
    drive(setup, *to_destination_page(), "click", WIZARD, NEXT, "page", "2",
          "escape", WIZARD, "exit", "1")
    stage(name, addons=["pictavo"])
    drive(setup, *to_destination_page(), "click", WIZARD, NEXT, "page", "2",
          "click", WIZARD, NEXT, "page", "3", "click", WIZARD, EXIT, "exit", "1")
    check(not os.path.exists(linux(DEFAULT_DESTINATION)), "something was installed")


@scenario
def licence_refused(name):
    setup = stage(name)
    drive(setup, "page", "0", "click", WIZARD, NEXT, "click", LICENCE, "2",
          "box", "License agreement not accepted.", "64", "ok",
          "You have chosen not to accept the license agreement. This Setup will now exit "
          "without installing Quenvale Tonvaro.", "exit", "1")
    drive(setup, "page", "0", "click", WIZARD, NEXT, "escape", LICENCE,
          "box", "License agreement not accepted.", "64", "ok", "*", "exit", "1")


@scenario
def empty_destination_stays(name):
    setup = stage(name)
    drive(setup, *to_destination_page(), "type", WIZARD, DESTINATION, "",
          "click", WIZARD, NEXT,
          "box", "Cannot continue", "48", "ok", "Please enter a destination directory.",
          "page", "1", "click", WIZARD, EXIT, "exit", "1")


@scenario
def no_addons_skips_page_three(name):
    setup = stage(name)
    drive(setup, *to_destination_page(), *through_to_complete(False),
          "escape", WIZARD, *ADDON_OFFER, "exit", "0")


@scenario
def quick_launch_follows_its_folder(name):
    setup = stage(name)
    drive(setup, *to_destination_page(), "click", WIZARD, NEXT, "page", "2",
          "visible", QUICK_BOX, "0", "checked", QUICK_BOX, "0",
          "click", WIZARD, PREVIOUS, "page", "1", "click", WIZARD, NEXT, "page", "2",
          "visible", QUICK_BOX, "0", "checked", QUICK_BOX, "0",
          "click", WIZARD, NEXT, "page", "5", "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0")
    check(not os.path.exists(quick_launch()), "a Quick Launch folder was made")
    reset(name)
    os.makedirs(quick_launch())
    setup = stage(name)
    drive(setup, *to_destination_page(), "click", WIZARD, NEXT, "page", "2",
          "visible", QUICK_BOX, "1", "checked", QUICK_BOX, "1",
          "click", WIZARD, DESKTOP_BOX, "checked", DESKTOP_BOX, "0",
          "click", WIZARD, NEXT, "page", "5", "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0")
    check(os.path.isfile(os.path.join(quick_launch(), "Quenvale Tonvaro.lnk")), "no Quick Launch link")
    check(not os.path.exists(os.path.join(desktop(), "Quenvale Tonvaro.lnk")), "a desktop link")


@scenario
def reboot_requested_then_declined(name):
    setup = stage(name, addons=["pictavo"])
    with open(os.path.join(C, "e2e", name, "pictavo-setup.exe.exitcode"), "w") as f:
        f.write("0x42010000")
    drive(setup, *to_destination_page(), *through_to_complete(True)[:-2],
          "box", "Installation successful", "68", "no", "*",
          "page", "5", "visible", START_BOX, "0", "checked", START_BOX, "0",
          "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0")
    time.sleep(1)
    check(subprocess.run(["pgrep", "-f", r"Zaphio\.exe"], capture_output=True).returncode != 0,
          "the player was started after a declined reboot")


@scenario
def all_known_addons_no_offer(name):
    setup = stage(name, addons=KNOWN_ADDONS)
    drive(setup, *to_destination_page(), *through_to_complete(True),
          "click", WIZARD, START_BOX, "click", WIZARD, EXIT, "exit", "0")


@scenario
def destination_on_a_missing_drive(name):
    setup = stage(name)
    drive(setup, *to_destination_page(), "type", WIZARD, DESTINATION, r"Q:\Nowhere\Tonvaro",
          "click", WIZARD, NEXT, "page", "2", "click", WIZARD, NEXT,
          "box", "Error", "48", "ok",
          r"Unable to create destination directory.\nPlease verify that you entered a valid "
          "directory path.", "exit", "1")


@scenario
def a_file_named_skins_stops_the_run(name):
    target = os.path.join(C, "e2e", name, "target")
    os.makedirs(target)
    open(os.path.join(target, "Skins"), "w").close()
    setup = stage(name)
    drive(setup, *to_destination_page(), "type", WIZARD, DESTINATION, windows(target),
          "click", WIZARD, NEXT, "page", "2", "click", WIZARD, NEXT,
          "box", "Error", "16", "ok", "Unable to create directory 'Skins'", "exit", "1")
    for made in ["Plugins", "AddOns", "LangPacks"]:
        check(os.path.isdir(os.path.join(target, made)), f"{made} was not made")
    check(not os.path.exists(os.path.join(target, "Zaphio.exe")), "an entry was extracted")


@scenario
def reinstall_from_recorded_copy(name):
    setup = stage(name)
    drive(setup, *to_destination_page(), *through_to_complete(False),
          "click", WIZARD, START_BOX, "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0")
    copy = os.path.join(linux(DEFAULT_DESTINATION), "Installer", "setup.exe")
    drive(copy, *to_destination_page(), *through_to_complete(False),
          "click", WIZARD, START_BOX, "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0")
    check(os.path.isfile(copy), "the installer copy is gone")


@scenario
def missing_components_offer_the_update_page(name):
    setup = stage(name)
    drive_env = {"WINEDLLOVERRIDES": "mscoree,mshtml=;olepro32=d"}
    args = [os.path.join(BUILD, "tonvaro-driver.exe"), windows(setup), "page", "0",
            "click", WIZARD, NEXT, "box", "System update necessary", "52", "yes", "*", "exit", "1"]
    result = wine(*args, extra_env=drive_env)
    print(result.stdout, end="")
    check(result.returncode == 0, "the driver reported a failed step")
    check(opened_urls() == ["http://www.quenvale.example/products/0014"],
          f"opened: {opened_urls()!r}")


def start_player(*arguments):
    """The stand-in player, running as a user would have it."""
    player = os.path.join(BUILD, "product-stage", "Zaphio.exe")
    out = tempfile.TemporaryFile()
    process = subprocess.Popen([os.path.join(BUILD, "wine-run"), player, *arguments],
                               stdout=out, stderr=out, env=env())
    for _ in range(100):
        if subprocess.run(["pgrep", "-f", r"Zaphio\.exe"], capture_output=True).returncode == 0:
            break
        time.sleep(0.1)
    time.sleep(1)  # its window is up
    return process


def player_running():
    return subprocess.run(["pgrep", "-f", r"Zaphio\.exe"], capture_output=True).returncode == 0


@scenario
def a_running_player_is_closed_first(name):
    process = start_player()
    setup = stage(name)
    drive(setup, *to_destination_page(), *through_to_complete(False),
          "click", WIZARD, START_BOX, "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0")
    process.wait(timeout=30)
    check(os.path.isfile(os.path.join(linux(DEFAULT_DESTINATION), "Zaphio.exe")), "not installed")


@scenario
def a_player_that_stays_stops_the_run(name):
    start_player("--ignore-quit")
    setup = stage(name)
    drive(setup, *to_destination_page(), "click", WIZARD, NEXT, "page", "2", "click", WIZARD, NEXT,
          "box", "Error", "48", "ok",
          "The setup program has detected that Quenvale Tonvaro is currently running on your "
          "system, which will prevent the reinstallation from succeeding. All attempts to close "
          r"the running player instance have failed, though.\n\nPlease close all currently "
          "running instances of Quenvale Tonvaro and run the installation program again. If you "
          "do not see any running instances of the player please reboot your system and then try "
          "again.", "exit", "1")
    check(player_running(), "the player that ignores WM_QUIT is gone")
    check(not os.path.exists(linux(DEFAULT_DESTINATION)), "files were written")


@scenario
def a_damaged_entry_stops_the_run(name):
    setup = stage(name, setup=os.path.join("variants", "bad-stream", "setup.exe"))
    drive(setup, *to_destination_page(), "click", WIZARD, NEXT, "page", "2", "click", WIZARD, NEXT,
          "box", "Error", "16", "ok",
          r"Error during file extraction. The compressed data contained in this archive seems "
          r"to be corrupted.\n\nIf you downloaded this file try downloading it again.",
          "exit", "1")
    installed = linux(DEFAULT_DESTINATION)
    check(not os.path.exists(os.path.join(installed, "Installer")), "the installer was copied")
    check(reg_values(r"HKCU\Software\Quenvale\Quenvale Tonvaro") == {}, "registry written")


def set_windows_version(version):
    wine("reg", "add", r"HKCU\Software\Wine\AppDefaults\setup.exe", "/v", "Version", "/d",
         version, "/f")


@scenario
def registry_roots_follow_the_windows_version(name):
    expected = {"win98": (r"HKLM\Software", r"HKCR"),
                "nt40": (r"HKCU\Software", r"HKCR"),
                "win2k": (r"HKCU\Software", r"HKCU\Software\Classes")}
    for version, (application, classes) in expected.items():
        reset(name)
        set_windows_version(version)
        setup = stage(name)
        drive(setup, *to_destination_page(), *through_to_complete(False),
              "click", WIZARD, START_BOX, "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0")
        app = reg_values(application + r"\Quenvale\Quenvale Tonvaro")
        print(f"{version}: AppDir under {application}: {app.get('AppDir')}")
        check(app.get("AppDir") == ("REG_SZ", DEFAULT_DESTINATION), f"{version}: AppDir")
        association = reg_values(classes + r"\.p4u")
        print(f"{version}: .p4u under {classes}: {association.get('')}")
        check(association.get("") == ("REG_SZ", "QuenvaleTonvaro.PlayList"), f"{version}: .p4u")


@scenario
def add_on_offer_opens_the_add_on_page(name):
    setup = stage(name)
    drive(setup, *to_destination_page(), *through_to_complete(False),
          "click", WIZARD, START_BOX, "click", WIZARD, EXIT,
          "box", "Add-On Information", "68", "yes", "*", "exit", "0")
    check(opened_urls() == ["http://www.quenvale.example/internet/download/0014/add-ons"],
          f"opened: {opened_urls()!r}")


@scenario
def extensions_page_describes_the_first_add_on(name):
    setup = stage(name, addons=["pictavo"])
    drive(setup, *to_destination_page(), "click", WIZARD, NEXT, "page", "2",
          "click", WIZARD, NEXT, "page", "3",
          "text", "1003", "View photos and graphic images of every kind and make slide shows of "
          "your own.", "click", WIZARD, PREVIOUS, "page", "2", "click", WIZARD, EXIT, "exit", "1")


@scenario
def browse_then_cancel_keeps_the_destination(name):
    setup = stage(name)
    drive(setup, *to_destination_page(), "click", WIZARD, BROWSE,
          "click", "Browse for Folder", "2", "gone", "Browse for Folder",
          "text", DESTINATION, DEFAULT_DESTINATION, "click", WIZARD, EXIT, "exit", "1")


def use_prefix_root(root):
    """Points this run at another prefix root, with a session of its own."""
    global ROOT, PREFIX, C, URLS
    ROOT, PREFIX = root, os.path.join(root, "prefix")
    C = os.path.join(PREFIX, "drive_c")
    URLS = os.path.join(C, "tonvaro-opened-urls.txt")
    os.environ["TONVARO_WINE_ROOT"] = root


def prefix_processes(command):
    """The processes of this prefix whose command line holds `command`."""
    found = []
    for pid in os.listdir("/proc"):
        if not pid.isdigit():
            continue
        try:
            environ = open(f"/proc/{pid}/environ", "rb").read().split(b"\0")
        except OSError:
            continue
        try:
            line = open(f"/proc/{pid}/cmdline", "rb").read().decode(errors="replace")
        except OSError:
            continue
        if f"WINEPREFIX={PREFIX}".encode() in environ and command in line:
            found.append(pid)
    return found


@scenario
def reboot_accepted_ends_the_session(name):
    # ExitWindowsEx ends the Wine session of the prefix it runs in, so this
    # case has a prefix of its own, and the Linux side watches it end.
    use_prefix_root(os.path.join(BUILD, "wine-exit"))
    subprocess.run([os.path.join(BUILD, "wine-session"), "start"], check=True)
    setup = stage(name, addons=["pictavo"])
    with open(os.path.join(C, "e2e", name, "pictavo-setup.exe.exitcode"), "w") as f:
        f.write("0x42010000")
    # A program of the user's session, which the log-off must end too.
    with tempfile.TemporaryFile() as out:
        subprocess.Popen([os.path.join(BUILD, "wine-run"), "notepad"], stdout=out, stderr=out,
                         env=env())
    for _ in range(100):
        if prefix_processes("notepad"):
            break
        time.sleep(0.1)
    check(prefix_processes("notepad"), "notepad did not start")
    output = drive(setup, *to_destination_page(), *through_to_complete(True)[:-2],
                   "box", "Installation successful", "68", "yes",
                   r"Quenvale Tonvaro has been successfully installed.\n\nTo complete the "
                   "installation process your computer has to be rebooted. Do you want to do that "
                   "now?", "exit", "0", expect_ok=False)
    check("box: caption=\"Installation successful\"" in output, "no reboot question")
    for _ in range(100):
        if not prefix_processes("notepad"):
            break
        time.sleep(0.2)
    check(not prefix_processes("notepad"), "the session did not end: notepad is still running")
    check(os.path.isfile(os.path.join(linux(DEFAULT_DESTINATION), "Zaphio.exe")), "not installed")
    subprocess.run([os.path.join(BUILD, "wine-session"), "stop"])


def main():
    if sys.argv[2] == "--list":
        print("\n".join(SCENARIOS))
        return 0
    name = sys.argv[2]
    subprocess.run([os.path.join(BUILD, "wine-session"), "start"], check=True)
    reset(name)
    try:
        SCENARIOS[name](name)
    except Failure as failure:
        print(f"FAIL: {failure}")
        return 1
    finally:
        reset(name)
    print("scenario held")
    return 0


if __name__ == "__main__":
    sys.exit(main())
