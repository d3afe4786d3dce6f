"""What every end-to-end scenario file shares: the Wine prefix of a Windows
tree (a 32-bit prefix under 32-bit Wine for the i686 tree, a 64-bit one for
the x86_64 tree), the driver that works the real programs as a person would,
and the checks made from the Linux side (files, registry, links, programs
that ran).

A scenario file registers its cases with @scenario (or @scenario_for("win64")
for a case that only a prefix of that width can hold, or
@scenario_in("japanese", ...) for a case that also runs on Windows of those
languages, as NAME_in_LANGUAGE) and ends with `sys.exit(harness.main())`; it
is run as

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


class Language:
    """A Windows of another language. Wine takes the ANSI code page from the
    locale (programs' texts and files), and the OEM one with it (what Wine's
    console tools print); the names are those the setup meets there: the
    download folder it is started from, the destination typed on page 1, and
    the folder that holds the user's Start-menu programs and desktop."""

    def __init__(self, locale, ansi, oem, download, destination, shell_parent, spelled=True):
        self.locale, self.ansi, self.oem = locale, ansi, oem
        self.download, self.destination, self.shell_parent = download, destination, shell_parent
        # False: the code page cannot spell the download folder and the
        # shell parent (a user name in another script), and the user's
        # TEMP lies under that parent too. Programs see such folders by
        # their short names, and an ANSI driver starts the setup by a
        # relative name from its folder.
        self.spelled = spelled


# In code pages 932 and 950 the second byte of 表, ソ, 許 and 功 is 0x5C, "\".
LANGUAGES = {
    "japanese": Language("ja_JP.UTF-8", "cp932", "cp932", "ソフト", r"C:\Apps\表", "表示"),
    "traditional_chinese": Language("zh_TW.UTF-8", "cp950", "cp950", "許可", r"C:\Apps\許功",
                                    "功能"),
    "german": Language("de_DE.UTF-8", "cp1252", "cp850", "Übertragungen", r"C:\Programme\Müller",
                       "Persönlich"),
    # German Windows with every name ASCII: for the Windows 98 branch, which
    # has no Unicode names to spell.
    "german_ascii": Language("de_DE.UTF-8", "cp1252", "cp850", "Downloads", r"C:\Programme\Quenvale",
                             "Persoenlich"),
    # A Russian user on a German Windows: his folders are named in a script
    # that code page 1252 lacks.
    "cyrillic_user": Language("de_DE.UTF-8", "cp1252", "cp850", "Загрузки", r"C:\Programme\Müller",
                              "Пользователь", spelled=False),
}
# The language of the running scenario; None: the prefix's own, in which
# every name a scenario uses is ASCII.
LANGUAGE = None


def codec():
    """The ANSI code page's codec: programs' output, the files they write."""
    return LANGUAGE.ansi if LANGUAGE else "utf-8"


def console_codec():
    return LANGUAGE.oem if LANGUAGE else "utf-8"


def env():
    e = dict(os.environ)
    e.update(WINEPREFIX=PREFIX, HOME=os.path.join(ROOT, "home"), WINEDEBUG="-all",
             WINEDLLOVERRIDES="mscoree,mshtml=")
    if LANGUAGE:
        e["LC_ALL"] = LANGUAGE.locale
    if not e.get("DISPLAY") and os.path.exists(os.path.join(ROOT, "display")):
        e["DISPLAY"] = open(os.path.join(ROOT, "display")).read().strip()
    return e


def wine(*args, extra_env=None, timeout=120, codec=None, cwd=None):
    """Runs a Windows program. Its output goes through files, not pipes: a
    player that the setup starts inherits them and outlives the run. Its
    output is read in `codec`, by default that of Wine's console tools.
    `cwd`, a Linux folder under drive C:, becomes its current directory."""
    codec = codec or console_codec()
    e = env()
    if extra_env:
        e.update(extra_env)
    with tempfile.TemporaryFile() as out, tempfile.TemporaryFile() as err:
        done = subprocess.run([os.path.join(BUILD, "wine-run"), *args], stdout=out, stderr=err,
                              env=e, timeout=timeout, cwd=cwd)
        out.seek(0)
        err.seek(0)
        return subprocess.CompletedProcess(done.args, done.returncode,
                                           out.read().decode(codec, errors="replace"),
                                           err.read().decode(codec, errors="replace"))


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


def temp_dir():
    """The user's folder for temporary files, as the prefix's environment
    names it (Wine 8: C:\\users\\NAME\\Temp; Wine 10: under AppData\\Local)."""
    if LANGUAGE and not LANGUAGE.spelled:
        return os.path.join(user_dir(), LANGUAGE.shell_parent, "Temp")
    value = reg_values(r"HKCU\Environment").get("TEMP", ("", ""))[1]
    return linux(value.replace("%USERPROFILE%", windows(user_dir())))


def names(path, target):
    """Whether a path that a program wrote down names the Linux file or
    folder `target`: as its very text where the code page spells it, else
    through short names, with no character lost."""
    if not LANGUAGE or LANGUAGE.spelled:
        return path == windows(target)
    if "?" in path:
        return False
    unix = wine("winepath", "-u", path, codec="utf-8").stdout.strip()
    return bool(unix) and os.path.realpath(unix) == os.path.realpath(target)


def link_path(text):
    """A path as lnkinfo printed it: lnkinfo 20240423 (Debian 13) doubles
    every backslash, which no drive path holds after its colon."""
    return text.replace("\\\\", "\\") if re.match(r"[A-Za-z]:\\\\", text) else text


def programs_folder():
    if LANGUAGE:
        return os.path.join(user_dir(), LANGUAGE.shell_parent, "Programs")
    return os.path.join(user_dir(), "AppData", "Roaming", "Microsoft", "Windows", "Start Menu",
                        "Programs")


def programs_group():
    return os.path.join(programs_folder(), "Quenvale", "Quenvale Tonvaro")


def desktop():
    if LANGUAGE:
        return os.path.join(user_dir(), LANGUAGE.shell_parent, "Desktop")
    return os.path.join(user_dir(), "Desktop")


def destination():
    """Where the scenario installs: the proposed directory, or the language's."""
    return LANGUAGE.destination if LANGUAGE else DEFAULT_DESTINATION


def choose_destination():
    """The steps on page 1 that make destination() the destination."""
    return ["type", WIZARD, DESTINATION, LANGUAGE.destination] if LANGUAGE else []


def link_target(link):
    """The path a shell link starts, as lnkinfo reads it in the code page."""
    page = "windows-" + codec()[2:] if LANGUAGE else "windows-1252"
    out = subprocess.run(["lnkinfo", "-c", page, link], capture_output=True).stdout
    m = re.search(r"^\s*Local path\s*: (.*)$", out.decode(errors="replace"), re.M)
    return link_path(m.group(1)) if m else None


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


def download_folder(scenario):
    return os.path.join(C, "e2e", scenario, *([LANGUAGE.download] if LANGUAGE else []))


def stage(scenario, addons=(), setup="setup.exe"):
    """The setup program in a download folder of its own, add-ons beside it."""
    folder = download_folder(scenario)
    os.makedirs(folder, exist_ok=True)
    shutil.copy(os.path.join(BUILD, setup), os.path.join(folder, "setup.exe"))
    for addon in addons:
        shutil.copy(os.path.join(BUILD, "addons", f"{addon}-setup.exe"), folder)
    return os.path.join(folder, "setup.exe")


def drive(setup, *steps, cwd=None, expect_ok=True, timeout=90):
    args = [os.path.join(BUILD, "tonvaro-driver.exe"), "--timeout", str(timeout)]
    if cwd:
        args += ["--cwd", cwd]
    program, folder = windows(setup), None
    if LANGUAGE and not LANGUAGE.spelled and not program.isascii():
        # As Explorer would, but through the ANSI driver: by a relative
        # name, from a current directory it could not name itself.
        program, folder = ".\\" + os.path.basename(setup), os.path.dirname(setup)
    result = wine(*args, program, *steps, timeout=timeout + 30, codec=codec(), cwd=folder)
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


# How reg names a key's default value in each language.
DEFAULT_VALUE_NAMES = {"(Default)", "(既定)", "(預設)", "(Standard)"}


def reg_values(key):
    """{name: (type, data)} of a key, read with Wine's reg tool."""
    result = wine("reg", "query", key)
    values = {}
    for line in result.stdout.splitlines():
        m = re.match(r"^    (.*?)    (REG_\w+)    ?(.*)$", line)
        if m:
            name = "" if m.group(1) in DEFAULT_VALUE_NAMES else m.group(1)
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
    temp = temp_dir()
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


def scenario_in(*languages):
    """A scenario that runs as it is and once more on Windows of each of
    these languages."""
    def register(function):
        for language in languages:
            SCENARIOS[f"{function.__name__}_in_{language}"] = \
                lambda name, l=LANGUAGES[language]: run_in(l, function, name)
        return scenario(function)
    return register


SHELL_FOLDERS = r"HKCU\Software\Microsoft\Windows\CurrentVersion\Explorer"
ENVIRONMENT = r"HKCU\Environment"


def run_in(language, function, name):
    """Runs a scenario on Windows of that language: Wine's processes in its
    locale, the programs folder and the desktop under a folder named in it
    (the prefix's shell folders point there for the scenario), and the parent
    of its destination there already, as the user's own."""
    made = subprocess.run(["locale", "-a"], capture_output=True, text=True).stdout.split()
    wanted = language.locale.replace("UTF-8", "utf8")
    if wanted not in made:
        raise Skip(f"SKIP: the locale {language.locale} is missing on this machine "
                   "(tools/install-deps.sh makes it when run as root)")
    global LANGUAGE
    LANGUAGE = language
    saved = {}
    try:
        for key in ["User Shell Folders", "Shell Folders"]:
            values = reg_values(rf"{SHELL_FOLDERS}\{key}")
            saved[key] = {v: values[v] for v in ["Programs", "Desktop"]}
        if not language.spelled:
            values = reg_values(ENVIRONMENT)
            saved[ENVIRONMENT] = {v: values[v] for v in ["TEMP", "TMP"]}
            os.makedirs(temp_dir(), exist_ok=True)
            set_values({ENVIRONMENT: {v: ("REG_SZ", windows(temp_dir())) for v in ["TEMP", "TMP"]}})
        os.makedirs(programs_folder(), exist_ok=True)
        os.makedirs(desktop(), exist_ok=True)
        os.makedirs(os.path.dirname(linux(destination())), exist_ok=True)
        set_values({rf"{SHELL_FOLDERS}\{key}": {"Programs": (kind, windows(programs_folder())),
                                                "Desktop": (kind, windows(desktop()))}
                    for key, kind in [("User Shell Folders", "REG_EXPAND_SZ"),
                                      ("Shell Folders", "REG_SZ")]})
        function(name)
    finally:
        set_values({(k if k == ENVIRONMENT else rf"{SHELL_FOLDERS}\{k}"): v
                    for k, v in saved.items()})
        for path in [os.path.join(user_dir(), language.shell_parent),
                     os.path.dirname(linux(destination()))]:
            shutil.rmtree(path, ignore_errors=True)
        LANGUAGE = None


def set_values(values):
    """{key: {name: (type, data)}} into the registry."""
    for key, named in values.items():
        for name, (kind, data) in named.items():
            wine("reg", "add", key, "/v", name, "/t", kind, "/d", data, "/f")


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
