#!/bin/sh
# Starts the setup under Wine. With a display, you drive it yourself; without
# one, it runs on a virtual display and the end-to-end driver walks it while
# screenshots are saved, so that you can look at what a user would see.
set -eu
tree=build/win64
echo "The shipped setup program: $(pwd)/build/win32/setup.exe"
echo "Starting its x86_64 twin under Wine: $(pwd)/$tree/setup.exe"
if [ -n "${DISPLAY:-}" ]; then
    status=0
    "$tree/wine-run" "$tree/setup.exe" || status=$?
    echo "setup.exe ended with exit code $status"
else
    shots=$(pwd)/build/demo
    mkdir -p "$shots"
    "$tree/wine-run" "$tree/tonvaro-driver.exe" "$tree/setup.exe" \
        shot "$shots/welcome.bmp" \
        click "Quenvale Tonvaro Setup" 2 \
        exit 1
    for bmp in "$shots"/*.bmp; do
        convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
    echo "No display: the setup ran on a virtual one. Screenshots: $shots/"
fi
"$tree/wine-session" stop
