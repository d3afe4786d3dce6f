#!/bin/sh
# Installs the Debian packages the build and the tests need, and only those
# that are missing, so that running it again costs a second.
#   install-deps.sh          the build and every test
#   install-deps.sh bench    also the peer installer that make bench races
set -eu

# wine32:i386 runs the shipped i686 programs in a 32-bit prefix.
packages="cmake make g++ zlib1g-dev googletest
g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev mingw-w64-tools
wine wine64 wine32:i386 xvfb python3 python3-pefile liblnk-utils imagemagick
clang libclang-rt-14-dev fp-utils zip unzip osslsigncode openssl locales dpkg-dev libdeflate-dev"
if [ "${1:-}" = bench ]; then
    packages="$packages nsis"
fi

missing=""
for p in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        "install ok installed") ;;
        *) missing="$missing $p" ;;
    esac
done

if [ -n "$missing" ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "install-deps: missing packages:$missing (run as root to install them)" >&2
        exit 1
    fi
    echo "install-deps: installing$missing"
    export DEBIAN_FRONTEND=noninteractive
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    apt-get update -qq
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $missing >/dev/null
fi

# The end-to-end tests run the setup on Japanese, Traditional Chinese and
# German systems: Wine takes the ANSI code page from the process's locale,
# and where the locale is missing it garbles non-ASCII command lines instead
# of failing. Scenarios whose locale is missing report SKIP.
missing_locales=""
for l in ja_JP zh_TW de_DE; do
    locale -a 2>/dev/null | grep -qx "$l.utf8" || missing_locales="$missing_locales $l"
done
if [ -n "$missing_locales" ]; then
    if [ "$(id -u)" != 0 ]; then
        echo "install-deps: locales missing:$missing_locales (run as root to make them)" >&2
    else
        echo "install-deps: making the locales$missing_locales"
        for l in $missing_locales; do
            grep -qx "$l.UTF-8 UTF-8" /etc/locale.gen || echo "$l.UTF-8 UTF-8" >> /etc/locale.gen
        done
        locale-gen >/dev/null || echo "install-deps: locale-gen failed" >&2
    fi
fi

# zlib's own source, the version of the mingw package (1.2.13): the Windows
# trees build it for the processors of Windows 95 and for size
# (cmake/zlib.cmake). Fetched from Debian's archive like everything else.
zlib_source=/usr/local/src/tonvaro/zlib-1.2.13
if ! grep -qs '#define ZLIB_VERSION "1.2.13"' "$zlib_source/zlib.h"; then
    if [ "$(id -u)" != 0 ]; then
        echo "install-deps: zlib's source is missing in $zlib_source (run as root to fetch it)" >&2
        exit 1
    fi
    echo "install-deps: fetching zlib's source into $zlib_source"
    if ! grep -rqs '^Types:.*deb-src\|^deb-src' /etc/apt/sources.list /etc/apt/sources.list.d/; then
        cat > /etc/apt/sources.list.d/tonvaro-src.sources <<'SOURCES'
Types: deb-src
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg
SOURCES
        apt-get update -qq
    fi
    work=$(mktemp -d)
    (cd "$work" && apt-get source -qq --download-only zlib >/dev/null 2>&1 &&
        dpkg-source -x zlib_*.dsc zlib >/dev/null 2>&1)
    if ! grep -qs '#define ZLIB_VERSION "1.2.13"' "$work/zlib/zlib.h"; then
        echo "install-deps: apt-get source zlib did not give zlib 1.2.13" >&2
        rm -rf "$work"
        exit 1
    fi
    mkdir -p "$(dirname "$zlib_source")"
    rm -rf "$zlib_source"
    mv "$work/zlib" "$zlib_source"
    rm -rf "$work"
fi

sh "$(dirname "$0")/enable-i386.sh"
