#!/bin/sh
# Proves the README's two commands on a new machine: makes a minimal root of
# a Debian release with debootstrap, installs only git and make in it, clones
# this repository's committed main and runs `make demo` and `make test` there
# as root, printing each command's time and result and the test summaries.
#
#   tools/fresh-machine.sh bookworm|trixie [--keep] [--root DIR] [--branch REF]
#
# --branch tries a branch of this repository instead of main.
# Not part of make test: it downloads about 0.8 GB and takes 20 minutes or
# more a release. The root (about 10 GB with the build) is removed afterwards
# unless --keep; the logs stay in /var/tmp/tonvaro-fresh. The mirror is the
# one this machine's own apt sources name.
set -eu

usage() { echo "usage: $0 bookworm|trixie [--keep] [--root DIR] [--branch REF]" >&2; exit 2; }
say() { echo "fresh-machine: $*"; }

release=${1:-}
case "$release" in bookworm|trixie) ;; *) usage ;; esac
shift
keep=0
branch=main
work=/var/tmp/tonvaro-fresh
root=$work/$release
while [ $# -gt 0 ]; do
    case "$1" in
        --keep) keep=1 ;;
        --root) [ $# -ge 2 ] || usage; root=$2; shift ;;
        --branch) [ $# -ge 2 ] || usage; branch=$2; shift ;;
        *) usage ;;
    esac
    shift
done
[ "$(id -u)" = 0 ] || { echo "fresh-machine: run as root (debootstrap, chroot, mounts)" >&2; exit 1; }
repo=$(cd "$(dirname "$0")/.." && pwd)
mkdir -p "$work"
logs=$work/$release-logs
rm -rf "$logs"
mkdir -p "$logs"

# Debian's archive and its security archive, as this machine's sources name
# them: the URI of the first entry of each kind in either format.
sources_files=$(ls /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null || true)
uris() {
    # deb822 stanzas and one-line entries alike: "URI SUITE..." per deb entry.
    for f in $sources_files; do
        case "$f" in
        *.sources)
            awk 'BEGIN { RS = ""; FS = "\n" }
                 { types = ""; uris = ""; suites = ""
                   for (i = 1; i <= NF; i++) {
                       if ($i ~ /^Types:/) types = $i
                       if ($i ~ /^URIs:/) { uris = $i; sub(/^URIs:[ \t]*/, "", uris) }
                       if ($i ~ /^Suites:/) { suites = $i; sub(/^Suites:[ \t]*/, "", suites) }
                       if ($i ~ /^Enabled:[ \t]*no/) types = ""
                   }
                   if (types ~ /(^|[ \t:])deb([ \t]|$)/) {
                       n = split(uris, u, /[ \t]+/)
                       for (j = 1; j <= n; j++) print u[j], suites
                   } }' "$f" ;;
        *)
            sed -n 's/^[ \t]*deb[ \t]\+\(\[[^]]*\][ \t]\+\)\?\([^ \t]\+\)[ \t]\+\([^ \t]\+\).*/\2 \3/p' "$f" ;;
        esac
    done
}
mirror=$(uris | awk '$0 !~ /-security/ && $2 ~ /^[a-z]+$/ { print $1; exit }')
security=$(uris | awk '/-security/ { print $1; exit }')
[ -n "$mirror" ] || { echo "fresh-machine: no Debian archive among this machine's apt sources" >&2; exit 1; }
[ -n "$security" ] || security=$mirror-security

if ! command -v debootstrap >/dev/null; then
    say "installing debootstrap"
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq debootstrap >/dev/null
fi

# Processes of the root first (a wineserver, an Xvfb, a player the demo
# started), then every mount under it, deepest first; only then may the
# root go. rm -rf of a root with /dev or /proc still bound into it would
# damage this machine's own.
mounted_under() { awk -v r="$1" '$2 == r || index($2, r "/") == 1 { print $2 }' /proc/self/mounts | sort -r; }
cleanup() {
    status=$?
    set +e
    trap - EXIT INT TERM
    for p in /proc/[0-9]*; do
        [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -9 "${p#/proc/}" 2>/dev/null
    done
    sleep 1
    for m in $(mounted_under "$root"); do umount -l "$m" || true; done
    if [ -n "$(mounted_under "$root")" ]; then
        echo "fresh-machine: still mounted under $root, not removed:" >&2
        mounted_under "$root" >&2
        exit 1
    fi
    if [ "$keep" = 1 ]; then
        say "kept the root in $root"
    elif [ -d "$root" ]; then
        rm -rf "$root"
    fi
    exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if [ -n "$(mounted_under "$root")" ]; then
    echo "fresh-machine: $root has mounts of an earlier run; unmount them first" >&2
    trap - EXIT; exit 1
fi
rm -rf "$root"
mkdir -p "$root"

elapsed() { echo $(($(date +%s) - $1)); }
step() {
    # step NAME COMMAND...: runs it, logs it, prints its time and result.
    name=$1; shift
    start=$(date +%s)
    # In the background: a signal then ends the wait at once, and the
    # clean-up stops what runs in the root.
    "$@" > "$logs/$name.log" 2>&1 &
    if wait $!; then result=ok; else result="failed ($?)"; fi
    say "$name: $result in $(elapsed "$start") s (log: $logs/$name.log)"
    [ "$result" = ok ]
}
in_root() {
    chroot "$root" /usr/bin/env -i HOME=/root TERM=dumb \
        PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@"
}

say "$release from $mirror (security: $security) into $root"
step debootstrap debootstrap --variant=minbase "$release" "$root" "$mirror" || exit 1

for m in proc sys dev dev/pts dev/shm; do
    mkdir -p "$root/$m"
    mount --bind "/$m" "$root/$m"
done
cp /etc/resolv.conf "$root/etc/resolv.conf"
rm -f "$root/etc/apt/sources.list"
keyring=
[ -f "$root/usr/share/keyrings/debian-archive-keyring.gpg" ] &&
    keyring="Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg"
cat > "$root/etc/apt/sources.list.d/debian.sources" <<SOURCES
Types: deb
URIs: $mirror
Suites: $release $release-updates
Components: main
$keyring

Types: deb
URIs: $security
Suites: $release-security
Components: main
$keyring
SOURCES

step packages sh -c "chroot '$root' apt-get update -qq &&
    DEBIAN_FRONTEND=noninteractive chroot '$root' apt-get install -y -qq git make" || exit 1
git clone -q --no-hardlinks --branch "$branch" --single-branch "$repo" "$root/root/tonvaro"
say "cloned $branch at $(git -C "$root/root/tonvaro" log -1 --format='%h %s' | cut -c1-72)"

failed=0
step make-demo in_root sh -c 'cd /root/tonvaro && make demo' || failed=1
step make-test in_root sh -c 'cd /root/tonvaro && make test' || failed=1

say "Debian $(cat "$root/etc/debian_version"), $(in_root /usr/lib/wine/wine --version 2>/dev/null || echo 'no Wine'),"\
" gcc-mingw-w64 $(in_root dpkg-query -W -f='${Version}' gcc-mingw-w64-i686-posix 2>/dev/null),"\
" mingw-w64 $(in_root dpkg-query -W -f='${Version}' mingw-w64-common 2>/dev/null),"\
" cmake $(in_root cmake --version 2>/dev/null | sed -n '1s/.* //p')"
sed -n 's/^#define ZLIB_VERSION "\(.*\)"/zlib source \1/p' "$root/usr/local/src/tonvaro/zlib/zlib.h" 2>/dev/null |
    sed 's/^/fresh-machine: /'
grep -h -e 'tests passed' -e 'Total Test time' -e 'make test:' -e 'SKIP' "$logs/make-test.log" 2>/dev/null |
    sed 's/^/fresh-machine: /' || true
grep -h '(Skipped)' "$logs/make-test.log" 2>/dev/null | sed 's/^[ \t]*/fresh-machine: skipped: /' || true
# Read with the root's own Python, which install-deps gave pefile.
empty=/root/tonvaro/build/win32/variants/empty/setup.exe
if [ -f "$root$empty" ]; then
    in_root /usr/bin/python3 - "$empty" <<'PY' | sed 's/^/fresh-machine: /'
import sys, os, pefile
pe = pefile.PE(sys.argv[1])
code_data = sum(s.SizeOfRawData for s in pe.sections if s.Name.rstrip(b"\0") != b".rsrc")
print(f"empty i686 setup: {os.path.getsize(sys.argv[1])} B, {code_data} B without .rsrc")
PY
fi
[ "$failed" = 0 ] && say "$release: both commands passed" || say "$release: FAILED"
exit "$failed"
