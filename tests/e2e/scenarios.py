#!/usr/bin/env python3
"""The wizard's scenarios: the real setup program driven from start to end,
then checked from the Linux side (see harness.py for how to run them)."""
import os
import re
import subprocess
import sys
import tempfile
import time

import harness
from harness import *  # noqa: F401,F403  the shared steps and checks

@scenario_in("japanese", "german", "cyrillic_user")
def typical_run(name, setup_file="setup.exe"):
    setup = stage(name, addons=["pictavo"], setup=setup_file)
    drive(setup, *to_destination_page(),
          "text", DESTINATION, DEFAULT_DESTINATION, *choose_destination(),
          *through_to_complete(True),
          "checked", START_BOX, "1", "visible", START_BOX, "1",
          "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0")
    target = destination()
    installed = linux(target)
    same_tree(payload_files(setup), installed)
    # A directory cut short at a byte that only looks like "\" would stand
    # beside it.
    check(os.listdir(os.path.dirname(installed)) == [os.path.basename(installed)],
          f"beside the destination: {os.listdir(os.path.dirname(installed))}")
    check(os.path.isfile(os.path.join(installed, "Installer", "setup.exe")), "no installer copy")
    app = reg_values(r"HKCU\Software\Quenvale\Quenvale Tonvaro")
    check(app.get("AppDir") == ("REG_SZ", target), f"AppDir {app.get('AppDir')}")
    link_dir = app.get("LinkDir", ("", ""))
    check(link_dir[0] == "REG_SZ" and names(link_dir[1], programs_group()), f"LinkDir {link_dir}")
    check(app.get("PlayerVersion", ("",))[0] == "REG_DWORD", "PlayerVersion")
    check(app.get("InstallerPath") == ("REG_SZ", target + r"\Installer\setup.exe"),
          f"InstallerPath {app.get('InstallerPath')}")
    uninstall = reg_values(r"HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenvale Tonvaro")
    check(uninstall.get("UninstallString") == ("REG_SZ", target + r"\Deinstall.exe"),
          f"UninstallString {uninstall.get('UninstallString')}")
    for link, program in [("Quenvale Tonvaro.lnk", "Zaphio.exe"),
                          ("Help topics for Quenvale Tonvaro.lnk", "Zaphio.chm"),
                          ("Uninstall Quenvale Tonvaro.lnk", "Deinstall.exe")]:
        started = link_target(os.path.join(programs_group(), link))
        check(started == target + "\\" + program, f"{link} starts {started}")
    check(os.path.isfile(os.path.join(programs_group(), "Visit Quenvale Tonvaro Website.url")),
          "no Visit Quenvale Tonvaro Website.url")
    started = link_target(os.path.join(desktop(), "Quenvale Tonvaro.lnk"))
    check(started == target + r"\Zaphio.exe", f"the desktop link starts {started}")
    log = open(os.path.join(os.path.dirname(setup), "addons-ran.log"), encoding=codec()).read()
    ran = re.fullmatch(r'"(.*)\\pictavo-setup\.exe" -ZaphioSetup', log.rstrip("\n"))
    check(ran and names(ran.group(1), os.path.dirname(setup)), f"the add-on log: {log!r}")
    # The player was started on Close.
    for _ in range(50):
        if player_running():
            break
        time.sleep(0.1)
    else:
        raise Failure("the player was not started")


# The sample product packed with libdeflate's best level, joined streams and all.
harness.SCENARIOS["typical_run_of_the_smallest_payload"] = lambda name: typical_run(name, "smallest/setup.exe")


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
    check(not player_running(), "the player was started after a declined reboot")


@scenario
def all_known_addons_no_offer(name):
    setup = stage(name, addons=KNOWN_ADDONS)
    drive(setup, *to_destination_page(), *through_to_complete(True),
          "click", WIZARD, START_BOX, "click", WIZARD, EXIT, "exit", "0")


@scenario_in("cyrillic_user")
def a_destination_that_cannot_be_made(name):
    """On a drive that is not there; or typed in letters the code page cannot
    spell, in a folder that is there: nothing may be made in its place."""
    setup = stage(name)
    parent = os.path.join(C, "e2e", name)
    typed = r"Q:\Nowhere\Tonvaro" if not harness.LANGUAGE else windows(parent) + r"\Włodek\Пользователь"
    there = sorted(os.listdir(parent))
    drive(setup, *to_destination_page(), "type", WIZARD, DESTINATION, typed,
          "click", WIZARD, NEXT, "page", "2", "click", WIZARD, NEXT,
          "box", "Error", "48", "ok",
          r"Unable to create destination directory.\nPlease verify that you entered a valid "
          "directory path.", "exit", "1")
    check(sorted(os.listdir(parent)) == there, f"made beside the setup: {os.listdir(parent)}")


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


@scenario
def reboot_accepted_ends_the_session(name):
    # ExitWindowsEx ends the Wine session of the prefix it runs in, so this
    # case has a prefix of its own, and the Linux side watches it end.
    use_prefix_root(os.path.join(BUILD, "wine-exit"))
    subprocess.run([os.path.join(BUILD, "wine-session"), "start"], check=True)
    setup = stage(name, addons=["pictavo"])
    with open(os.path.join(harness.C, "e2e", name, "pictavo-setup.exe.exitcode"), "w") as f:
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


if __name__ == "__main__":
    sys.exit(harness.main())
