"""What every end-to-end scenario file shares: the Wine prefix of a Windows
tree (a 32-bit prefix under 32-bit Wine for the i686 tree, a 64-bit one for
the x86_64 tree), the driver that works the real programs as a person would,
and the checks made from the Linux side (files, registry, links, programs
that ran).

A scenario file registers its cases with @scenario (or @scenario_for("win64")
for a case that only a prefix of that width can hold) and ends with
`sys.exit(harness.main())`; it is run as

    FILE.py BUILD_DIR SCENARIO     run one scenario
    FILE.py BUILD_DIR --list       name every scenario of this tree
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
# win32 or win64: the width of the tree's prefix and of its programs.
ARCH = open(os.path.join(BUILD, "wine-arch")).read().strip()

WIZARD = "Quenvale Tonvaro Setup"
LICENCE = "License Agreement"
NEXT, PREVIOUS, EXIT, BROWSE = "1004", "1005", "2", "1001"
START_BOX, DESKTOP_BOX, QUICK_BOX, DESTINATION = "1012", "1013", "1014", "1000"
DEFAULT_DESTINATION = r"C:\Program Files\Quenvale\Quenvale Tonvaro"
KNOWN_ADDONS = ["pictavo", "pyrolo", "audiocd"]


class Failure(Exception):
    pass


class Skip(Exception):
    """Raised with the session's SKIP line: the case cannot run here."""


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
[-HKEY_LOCAL_MACHINE\Software\Wow6432Node\Quenvale]
[-HKEY_LOCAL_MACHINE\Software\Wow6432Node\Microsoft\Windows\CurrentVersion\Uninstall\Quenvale Tonvaro]
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
    for pid in prefix_processes("Zaphio.exe"):
        try:
            os.kill(int(pid), 9)
        except OSError:
            pass
    with tempfile.NamedTemporaryFile("w", suffix=".reg", dir=C, delete=False) as f:
        f.write(RESET_REG)
    wine("regedit", "/s", windows(f.name))
    os.unlink(f.name)
    for path in [os.path.join(C, "Program Files", "Quenvale"),
                 os.path.join(C, "Program Files (x86)", "Quenvale"), os.path.dirname(programs_group()),
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

def start_player(*arguments, program=None):
    """The stand-in player (or the installed `program`), running as a user
    would have it: returns once its signed window is up (the player reports
    its start only then)."""
    player = program or os.path.join(BUILD, "product-stage", "Zaphio.exe")
    # In the user's TEMP, which no scenario counts as the product's.
    temp = os.path.join(user_dir(), "Temp")
    os.makedirs(temp, exist_ok=True)
    started = os.path.join(temp, "tonvaro-player-started.txt")
    if os.path.exists(started):
        os.unlink(started)
    e = env()
    e["TONVARO_PLAYER_REPORT"] = windows(started)
    out = tempfile.TemporaryFile()
    process = subprocess.Popen([os.path.join(BUILD, "wine-run"), player, *arguments],
                               stdout=out, stderr=out, env=e)
    for _ in range(300):
        if os.path.exists(started) and os.path.getsize(started) > 0:
            return process
        time.sleep(0.1)
    raise Failure("the player did not start")


def player_running():
    """A player of this prefix; players of other prefixes do not count."""
    return bool(prefix_processes("Zaphio.exe"))


def set_windows_version(version):
    wine("reg", "add", r"HKCU\Software\Wine\AppDefaults\setup.exe", "/v", "Version", "/d",
         version, "/f")


def use_tree(build):
    """Points this run at another Windows tree: its programs, its prefix and
    its session."""
    global BUILD, ARCH
    BUILD = os.path.abspath(build)
    ARCH = open(os.path.join(BUILD, "wine-arch")).read().strip()
    use_prefix_root(os.path.join(BUILD, "wine"))
    os.environ.pop("TONVARO_WINE_ROOT")


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


# Scenarios ---------------------------------------------------------------------

SCENARIOS = {}


def scenario(function):
    SCENARIOS[function.__name__] = function
    return function


def scenario_for(arch):
    """A scenario that only a tree of this prefix width runs."""
    def register(function):
        return scenario(function) if arch == ARCH else function
    return register


def main():
    if sys.argv[2] == "--list":
        print("\n".join(SCENARIOS))
        return 0
    name = sys.argv[2]
    # A machine that cannot run the tree's Wine: the session says why, and
    # the test counts as skipped.
    if subprocess.run([os.path.join(BUILD, "wine-session"), "start"]).returncode != 0:
        return 1
    reset(name)
    try:
        SCENARIOS[name](name)
    except Failure as failure:
        print(f"FAIL: {failure}")
        return 1
    except Skip as skip:
        print(skip)
        return 1
    finally:
        reset(name)
    print("scenario held")
    return 0
