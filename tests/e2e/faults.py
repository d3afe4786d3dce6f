#!/usr/bin/env python3
"""Faults met by the real setup program during an installation: hostile
archives, a full disk, a file held by another program, read-only places.
Each run must show the message of the step that failed and end with exit
code 1 (see harness.py for how to run them).

Cases that need a mount print a line starting with "SKIP:" and end there
when the machine refuses it."""
import os
import subprocess
import sys
import time

import harness
from harness import *  # noqa: F401,F403  the shared steps and checks

sys.path.insert(0, os.path.join(SOURCE, "tests", "tools"))
import payload_variants  # noqa: E402  the names its hostile archives use

DAMAGED = (r"Error during file extraction. The compressed data contained in this archive seems "
           r"to be corrupted.\n\nIf you downloaded this file try downloading it again.")
DISK_FULL = (r"Error writing data to disk (disk full?).\n\nTry to free some unneeded disk space "
             "and launch setup again.")


def cannot_create(entry):
    return (f"Error creating file '{entry}'\\nPlease verify that there is enough free disk space "
            "on the target disk.")


def cannot_make_directory(name):
    return f"Unable to create directory '{name}'"


def install_into(setup, destination, caption, flags, text):
    """Walks to the installation with `destination`; the run must stop at
    one box and the setup end with exit code 1."""
    drive(setup, *to_destination_page(), "type", WIZARD, DESTINATION, destination,
          "click", WIZARD, NEXT, "page", "2", "click", WIZARD, NEXT,
          "box", caption, flags, "ok", text, "exit", "1")


def skip(reason):
    print(f"SKIP: {reason}")


def strays():
    """Files of a hostile entry wherever one could have landed: anywhere on
    drive C:, and where a name on drive Z: pointed."""
    found = [os.path.join(base, payload_variants.ESCAPED_NAME)
             for base, _, files in os.walk(C) if payload_variants.ESCAPED_NAME in files]
    escaped = os.path.join("/tmp", payload_variants.ESCAPED_NAME)
    return found + ([escaped] if os.path.exists(escaped) else [])


def hostile_archives(name, variants, first_extracted):
    for stray in strays():  # left by a failed run before this one
        os.unlink(stray)
    for variant in variants:
        parent = os.path.join(C, "e2e", name, variant)
        target = os.path.join(parent, "target")
        os.makedirs(parent)
        setup = stage(name, setup=os.path.join("variants", variant, "setup.exe"))
        install_into(setup, windows(target), "Error", "16", DAMAGED)
        check(os.listdir(parent) == ["target"], f"{variant}: beside the destination: "
              f"{os.listdir(parent)}")
        check(strays() == [], f"{variant}: written outside the destination: {strays()}")
        first = os.path.join(target, payload_variants.FIRST_NAME)
        check(os.path.isfile(first) == first_extracted, f"{variant}: the entry before it")
        check(not os.path.exists(os.path.join(target, "Installer")), f"{variant}: copied on")
        print(f"{variant}: damaged-data message, exit code 1, nothing outside the destination")


@scenario
def damaged_streams_and_lengths_stop_inside_the_destination(name):
    hostile_archives(name, ["bad-stream"], False)
    hostile_archives(name, ["cut-short", "past-end"], True)


@scenario
def unsafe_names_are_damaged_data(name):
    hostile_archives(name, list(payload_variants.HOSTILE_NAMES), True)


@scenario
def a_destination_of_2502_characters_is_refused(name):
    # Components that a Linux file system would take, 2502 characters in all.
    destination = "C:\\" + "\\".join(["tonvaro" + "d" * 92] * 25)
    check(len(destination) == 2502, f"{len(destination)} characters")
    install_into(stage(name), destination, "Error", "48",
                 r"Unable to create destination directory.\nPlease verify that you entered a "
                 "valid directory path.")
    check(not os.path.exists(os.path.join(C, "tonvaro" + "d" * 92)), "a directory was made")


class Mounted:
    """A mount made for one case, undone however the case ends."""

    def __init__(self, *mount_args, remount=None):
        self.point = mount_args[-1]
        os.makedirs(self.point, exist_ok=True)
        if os.path.ismount(self.point):  # left by a run that was killed
            self.unmount()
        done = subprocess.run(["mount", *mount_args], capture_output=True, text=True)
        self.refused = done.stderr.strip() if done.returncode != 0 else None
        if self.refused is None and remount:
            done = subprocess.run(["mount", "-o", remount, self.point], capture_output=True,
                                  text=True)
            if done.returncode != 0:
                self.refused = done.stderr.strip()
                self.unmount()

    def unmount(self):
        if subprocess.run(["umount", self.point], capture_output=True).returncode != 0:
            subprocess.run(["umount", "-l", self.point], capture_output=True)

    def __enter__(self):
        return self

    def __exit__(self, *_):
        if self.refused is None:
            self.unmount()


@scenario
def a_full_disk_stops_the_run(name):
    point = os.path.join(ROOT, "full-disk")
    link = os.path.join(PREFIX, "dosdevices", "t:")
    with Mounted("-t", "tmpfs", "-o", "size=1m", "tonvaro-full-disk", point) as disk:
        if disk.refused:
            return skip(f"a 1 MB tmpfs cannot be mounted here: {disk.refused}")
        try:
            # Room for less than the first piece of the first entry.
            room = 8192
            stats = os.statvfs(point)
            with open(os.path.join(point, "filler"), "wb") as filler:
                filler.write(b"\0" * (stats.f_bavail * stats.f_frsize - room))
            if os.path.lexists(link):
                os.unlink(link)
            os.symlink(point, link)
            install_into(stage(name), r"T:\Tonvaro", "Error", "16", DISK_FULL)
            installed = os.path.join(point, "Tonvaro")
            written = sorted(os.listdir(installed))
            player = os.path.join(installed, "Zaphio.exe")
            print(f"on the full disk: {written}, the player {os.path.getsize(player)} bytes")
            check(os.path.getsize(player) <= room, "more was written than there was room for")
            check(not os.path.exists(os.path.join(installed, "Zaphio.chm")), "went on")
            check(reg_values(r"HKCU\Software\Quenvale\Quenvale Tonvaro") == {}, "registered")
        finally:
            if os.path.lexists(link):
                os.unlink(link)


@scenario
def a_file_held_by_another_program_stops_the_run(name):
    target = os.path.join(C, "e2e", name, "target")
    held = os.path.join(target, "Plugins", "InputWave.dll")
    os.makedirs(os.path.dirname(held))
    holder = subprocess.Popen([os.path.join(BUILD, "wine-run"),
                               os.path.join(BUILD, "tonvaro-child.exe"), "--hold", windows(held)],
                              stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL, env=env())
    try:
        for _ in range(100):
            if os.path.exists(held + ".held") or holder.poll() is not None:
                break
            time.sleep(0.1)
        check(os.path.exists(held + ".held"), "the file could not be held")
        install_into(stage(name), windows(target), "Error", "16",
                     cannot_create(r"Plugins\InputWave.dll"))
        check(os.path.isfile(os.path.join(target, "Plugins", "Plugins.txt")), "earlier entry")
        check(not os.path.exists(os.path.join(target, "Plugins", "InputMpeg.dll")), "later entry")
    finally:
        open(held + ".release", "w").close()
        holder.wait(timeout=30)


@scenario
def read_only_places_stop_the_run(name):
    # Root writes through read-only attributes and modes; a read-only mount
    # and the immutable flag bind root too.
    share = os.path.join(C, "e2e", name, "share")
    os.makedirs(share)
    with Mounted("--bind", share, share, remount="remount,ro,bind") as mounted:
        if mounted.refused:
            return skip(f"a read-only bind mount is refused here: {mounted.refused}")
        install_into(stage(name), windows(share), "Error", "16", cannot_make_directory("Plugins"))
        check(os.listdir(share) == [], f"written to the read-only share: {os.listdir(share)}")
    # The same share with the product's directories there already: now the
    # first file cannot be created.
    for sub in ["Plugins", "AddOns", "LangPacks", "Skins"]:
        os.makedirs(os.path.join(share, sub))
    with Mounted("--bind", share, share, remount="remount,ro,bind") as mounted:
        check(not mounted.refused, f"the second mount: {mounted.refused}")
        install_into(stage(name), windows(share), "Error", "16", cannot_create("Zaphio.exe"))
        check(not os.path.exists(os.path.join(share, "Zaphio.exe")), "written to the share")
    # An immutable file of an earlier installation in a writable destination.
    target = os.path.join(C, "e2e", name, "target")
    frozen = os.path.join(target, "Deinstall.exe")
    os.makedirs(target)
    open(frozen, "wb").write(b"an earlier uninstaller")
    done = subprocess.run(["chattr", "+i", frozen], capture_output=True, text=True)
    if done.returncode != 0:
        return skip(f"the immutable flag cannot be set here: {done.stderr.strip()}")
    try:
        install_into(stage(name), windows(target), "Error", "16", cannot_create("Deinstall.exe"))
        check(open(frozen, "rb").read() == b"an earlier uninstaller", "the frozen file changed")
        check(os.path.isfile(os.path.join(target, "Zaphio.chm")), "the entry before it")
    finally:
        subprocess.run(["chattr", "-i", frozen], capture_output=True)


if __name__ == "__main__":
    sys.exit(harness.main())
