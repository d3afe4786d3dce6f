#!/bin/sh
# The setup with the sample product and three sample add-ons beside it, in
# a fresh Wine prefix of its own under build/demo. With a display you drive
# it yourself; without one, the end-to-end driver walks all six pages on a
# virtual display, saves a screenshot of every page and message box, and
# this script prints what was installed.
set -eu
top=$(pwd)
# The shipped i686 program in a 32-bit prefix; its x86_64 twin only where
# this machine cannot execute 32-bit programs.
tree=$top/build/win32
if ! why=$("$tree/wine-session" check); then
    echo "$why"
    tree=$top/build/win64
fi
demo=$top/build/demo
export TONVARO_WINE_ROOT="$demo/wine"
for t in win32 win64; do "$top/build/$t/wine-session" stop; done
rm -rf "$demo"
mkdir -p "$demo/screenshots"
"$tree/wine-session" start
c="$TONVARO_WINE_ROOT/prefix/drive_c"
downloads="$c/Downloads"
mkdir -p "$downloads"
cp "$tree/setup.exe" "$downloads/setup.exe"
for addon in pictavo pyrolo audiocd; do cp "$tree/addons/$addon-setup.exe" "$downloads/"; done

echo "The shipped setup program: $top/build/win32/setup.exe"
if [ "$tree" = "$top/build/win32" ]; then
    echo "Running it under 32-bit Wine from C:\\Downloads, three sample add-ons beside it."
else
    echo "Running its x86_64 twin under 64-bit Wine from C:\\Downloads, three sample add-ons beside it."
fi
status=0
if [ -n "${DISPLAY:-}" ]; then
    "$tree/wine-run" 'C:\Downloads\setup.exe' || status=$?
else
    W="Quenvale Tonvaro Setup"
    "$tree/wine-run" "$tree/tonvaro-driver.exe" --timeout 120 --shots "$demo/screenshots" \
        'C:\Downloads\setup.exe' \
        page 0 click "$W" 1004 shot "$demo/screenshots/00-licence.bmp" click "License Agreement" 1008 \
        page 1 click "$W" 1004 page 2 click "$W" 1004 page 3 click "$W" 1004 \
        box "Proceeding with Add-Ons" 64 ok '*' page 5 click "$W" 1012 click "$W" 2 \
        exit 0 > "$demo/driver.log" || status=$?
    for bmp in "$demo"/screenshots/*.bmp; do
        convert "$bmp" "${bmp%.bmp}.png" && rm -f "$bmp"
    done
fi

dest="$c/Program Files/Quenvale/Quenvale Tonvaro"
echo
echo "== Installed files (C:\\Program Files\\Quenvale\\Quenvale Tonvaro)"
(cd "$dest" 2>/dev/null && find . -type f | sort | sed 's|^\./|  |') || echo "  (none)"
echo "== Registry"
for key in 'HKCU\Software\Quenvale\Quenvale Tonvaro' \
           'HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quenvale Tonvaro' \
           'HKCU\Software\Classes\.p4u' 'HKCU\Software\Classes\.s4u' \
           'HKCU\Software\Classes\QuenvaleTonvaro.PlayList\shell\play\command'; do
    "$tree/wine-run" reg query "$key" 2>/dev/null | tr -d '\r' | sed '/^$/d; s/^/  /'
done
echo "== Shortcuts"
user=$(ls "$c/users" | grep -v Public | head -1)
find "$c/users/$user" \( -name '*Quenvale Tonvaro*.lnk' -o -name '*.url' \) | sort | while read -r link; do
    case "$link" in
    # lnkinfo of Debian 13 doubles each backslash of a path.
    *.lnk) target=$(lnkinfo "$link" 2>/dev/null | sed -n 's/.*Local path[^:]*: //p' | head -1 |
               sed '/^.:\\\\/s/\\\\/\\/g') ;;
    *) target=$(sed -n 's/^URL=//p' "$link") ;;
    esac
    echo "  ${link#$c/users/$user/} -> $target"
done
echo "== Add-ons that ran"
sed 's/^/  /' "$downloads/addons-ran.log" 2>/dev/null || echo "  (none)"
[ -f "$demo/driver.log" ] && echo "== Screenshots: $demo/screenshots/" && ls "$demo/screenshots" | sed 's/^/  /'
echo "== Exit code of the walk: $status"
"$tree/wine-session" stop
pkill -f 'Zaphio\.exe' 2>/dev/null || true
