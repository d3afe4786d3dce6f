#!/bin/sh
# Installs the Debian packages the build and the tests need, and only those
# that are missing, so that running it again costs a second.
set -eu

packages="cmake make g++ zlib1g-dev googletest
g++-mingw-w64-i686 g++-mingw-w64-x86-64 libz-mingw-w64-dev mingw-w64-tools
wine wine64 xvfb python3 python3-pefile liblnk-utils imagemagick
clang libclang-rt-14-dev fp-utils zip unzip osslsigncode openssl"

missing=""
for p in $packages; do
    status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
    case "$status" in
        "install ok installed") ;;
        *) missing="$missing $p" ;;
    esac
done

[ -z "$missing" ] && exit 0

if [ "$(id -u)" != 0 ]; then
    echo "install-deps: missing packages:$missing (run as root to install them)" >&2
    exit 1
fi
echo "install-deps: installing$missing"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
# shellcheck disable=SC2086
apt-get install -y -qq --no-install-recommends $missing >/dev/null
