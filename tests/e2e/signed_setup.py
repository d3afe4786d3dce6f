#!/usr/bin/env python3
"""The tree's setup program after Authenticode signing (made by
tests/tools/sign_setups.sh into BUILD/signed): the signature sits after the
sections, outside the resources that hold the payload, so the signed copy
verifies its payload and installs like the unsigned one (see harness.py for
how to run this)."""
import os
import sys

import harness
from harness import *  # noqa: F401,F403  the shared steps and checks


@scenario
def signed_setup_installs(name):
    signed = os.path.join(harness.BUILD, "signed", harness.ARCH, "setup.exe")
    unsigned = os.path.join(harness.BUILD, "setup.exe")
    check(os.path.isfile(signed), "no signed setup program: run the signing test first")
    check(os.path.getsize(signed) > os.path.getsize(unsigned), "the copy carries no signature")
    setup = stage(name, setup=os.path.join("signed", harness.ARCH, "setup.exe"))
    drive(setup, *to_destination_page(), *through_to_complete(False),
          "click", WIZARD, EXIT, *ADDON_OFFER, "exit", "0")
    same_tree(payload_files(setup), linux(DEFAULT_DESTINATION))
    check(os.path.isfile(os.path.join(programs_group(), "Quenvale Tonvaro.lnk")), "no program link")


if __name__ == "__main__":
    sys.exit(harness.main())
