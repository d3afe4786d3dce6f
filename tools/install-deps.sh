#!/bin/sh
# Installs the Debian packages the build and the tests need, and only those
# that are missing, so that running it again costs a second. Works on Debian
# 12 and 13 from a minimal system; names no mirror of its own but takes the
# machine's apt sources as they are.
#   install-deps.sh          the build and every test
#   install-deps.sh bench    also the peer installer that make bench races
set -eu

say() { echo "install-deps: $*" >&2; }
. /etc/os-release
codename=${VERSION_CODENAME:-}

# wine32:i386 runs the shipped i686 programs in a 32-bit prefix. Names that
# exist on every supported release: libclang-rt-dev is the runtime of the
# release's default clang (14 on Debian 12, 19 on Debian 13).
packages="cmake make g++ zlib1g-dev googletest libgtest-dev
g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev mingw-w64-tools
wine wine64 wine32:i386 xvfb python3 python3-pefile liblnk-utils imagemagick
clang libclang-rt-dev fp-utils zip unzip osslsigncode openssl locales dpkg-dev
libdeflate-dev procps e2fsprogs"
if [ "${1:-}" = bench ]; then
    packages="$packages nsis"
fi

need_root() {
    [ "$(id -u)" = 0 ] || { say "$1 (run as root)"; exit 1; }
}

# apt-get update that survives a mirror caught in the middle of a sync
# ("File has unexpected size ... Mirror sync in progress?"): tried twice,
# then the indexes that were read are used.
update_indexes() {
    apt-get update -qq && return 0
    say "apt-get update failed; trying once more"
    sleep 5
    apt-get update -qq && return 0
    say "apt-get update failed again: going on with the package lists that were read"
    partial_update=1
}

# Installs the named packages. After a partial update, an amd64 library from
# a newer suite may lack its i386 twin of the same version and apt refuses
# the whole set; the base suite has both, so the install is tried once more
# with it as the target release.
install_packages() {
    log=$(mktemp)
    # shellcheck disable=SC2086
    if apt-get install -y -qq --no-install-recommends "$@" >"$log" 2>&1; then
        rm -f "$log"; return 0
    fi
    if [ -n "$codename" ] && grep -qE 'broken packages|Unmet dependencies|but it is not (going to be )?installable|is to be installed' "$log"; then
        say "apt-get install refused (amd64 and i386 would get different versions); trying the packages of $codename itself"
        # shellcheck disable=SC2086
        if apt-get install -y -qq --no-install-recommends -t "$codename" "$@" >"$log" 2>&1; then
            rm -f "$log"; return 0
        fi
    fi
    cat "$log" >&2
    rm -f "$log"
    say "failed: apt-get install -y --no-install-recommends $*"
    say "try: apt-get update, then the same command again (a mirror being synced settles within hours), or use another mirror in /etc/apt/sources.list.d/"
    exit 1
}

partial_update=0
missing=""
for p in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        "install ok installed") ;;
        *) missing="$missing $p" ;;
    esac
done

if [ -n "$missing" ]; then
    need_root "missing packages:$missing"
    say "installing$missing"
    export DEBIAN_FRONTEND=noninteractive
    if ! dpkg --print-foreign-architectures | grep -qx i386; then
        dpkg --add-architecture i386
    fi
    update_indexes
    # shellcheck disable=SC2086
    install_packages $missing
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
        say "locales missing:$missing_locales (run as root to make them)"
    else
        say "making the locales$missing_locales"
        for l in $missing_locales; do
            grep -qx "$l.UTF-8 UTF-8" /etc/locale.gen || echo "$l.UTF-8 UTF-8" >> /etc/locale.gen
        done
        locale-gen >/dev/null || say "locale-gen failed"
    fi
fi

# A deb-src twin of each of the machine's deb entries of its own release,
# in the format the entry uses: the same addresses, suites and components,
# so that apt-get source fetches this release's source from wherever the
# machine gets its packages.
add_source_entries() {
    for f in /etc/apt/sources.list.d/*.sources; do
        [ -f "$f" ] || continue
        case "$f" in */tonvaro-src.sources) continue ;; esac
        awk -v release="$codename" 'BEGIN { RS = ""; FS = "\n" }
            { deb = 0; own = 0; enabled = 1; out = ""
              for (i = 1; i <= NF; i++) {
                  line = $i
                  if (line ~ /^#/) continue
                  if (line ~ /^Types:/) { if (line ~ /[ \t:]deb([ \t]|$)/) deb = 1; continue }
                  if (line ~ /^Enabled:[ \t]*no/) enabled = 0
                  if (line ~ /^Suites:/) {
                      n = split(line, s, /[ \t]+/)
                      for (j = 2; j <= n; j++) if (s[j] == release || index(s[j], release "-") == 1) own = 1
                  }
                  out = out line "\n"
              }
              if (deb && own && enabled) printf "Types: deb-src\n%s\n", out }' "$f"
    done > /etc/apt/sources.list.d/tonvaro-src.sources
    [ -s /etc/apt/sources.list.d/tonvaro-src.sources ] || rm -f /etc/apt/sources.list.d/tonvaro-src.sources
    for f in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
        [ -f "$f" ] || continue
        case "$f" in */tonvaro-src.list) continue ;; esac
        awk -v release="$codename" '$1 == "deb" {
                i = 2
                if ($i ~ /^\[/) { while (i < NF && $i !~ /\]$/) i++; i++ }
                suite = $(i + 1)
                if (suite == release || index(suite, release "-") == 1) { $1 = "deb-src"; print }
            }' "$f"
    done > /etc/apt/sources.list.d/tonvaro-src.list
    [ -s /etc/apt/sources.list.d/tonvaro-src.list ] || rm -f /etc/apt/sources.list.d/tonvaro-src.list
}

# zlib's own source, the version this release's Debian ships (1.2.13 on
# Debian 12, 1.3.1 on Debian 13): the Windows trees build it for the
# processors of Windows 95 and for size (cmake/zlib.cmake). Fetched from
# Debian's archive like everything else.
zlib_source=/usr/local/src/tonvaro/zlib
if ! grep -qs '#define ZLIB_VERSION "' "$zlib_source/zlib.h"; then
    need_root "zlib's source is missing in $zlib_source"
    say "fetching zlib's source into $zlib_source"
    if ! apt-cache showsrc zlib 2>/dev/null | grep -q '^Package: zlib'; then
        add_source_entries
        update_indexes
    fi
    # The newest version first; a mirror may still lack some of its files
    # (seen: the .dsc of a stable update missing for a day), so then each
    # other version of the release's source.
    work=$(mktemp -d)
    fetched=0
    for version in "" $(apt-cache showsrc zlib 2>/dev/null | sed -n 's/^Version: //p' | sort -urV); do
        rm -rf "${work:?}"/*
        if (cd "$work" && apt-get source -qq --download-only "zlib${version:+=$version}" >/dev/null 2>&1 &&
                dpkg-source -x zlib_*.dsc zlib >/dev/null 2>&1) &&
           grep -qs '#define ZLIB_VERSION "' "$work/zlib/zlib.h"; then
            fetched=1
            break
        fi
        say "apt-get source zlib${version:+=$version} failed"
    done
    if [ "$fetched" = 0 ]; then
        say "failed: apt-get source --download-only zlib (and dpkg-source -x) in $work"
        say "try: apt-get update, then make again; apt-get source needs deb-src entries (see /etc/apt/sources.list.d/tonvaro-src.*)"
        rm -rf "$work"
        exit 1
    fi
    mkdir -p "$(dirname "$zlib_source")"
    rm -rf "$zlib_source"
    mv "$work/zlib" "$zlib_source"
    rm -rf "$work"
    say "zlib $(sed -n 's/^#define ZLIB_VERSION "\(.*\)"/\1/p' "$zlib_source/zlib.h") in $zlib_source"
fi

sh "$(dirname "$0")/enable-i386.sh"
