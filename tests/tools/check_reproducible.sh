#!/bin/sh
# Builds the shipped setup program a second time in a clean tree of its own
# and compares it byte for byte with the first.
set -eu
source_dir=$1
first=$2
pack=$3
second_tree=$(mktemp -d /tmp/tonvaro-repro.XXXXXX)
trap 'rm -rf "$second_tree"' EXIT
cmake -S "$source_dir" -B "$second_tree" -DCMAKE_TOOLCHAIN_FILE="$source_dir/cmake/toolchain-i686.cmake" \
    -DTONVARO_PACK="$pack" -DTONVARO_BUILD_TESTS=OFF >/dev/null
cmake --build "$second_tree" -j2 --target setup >/dev/null
if cmp "$first" "$second_tree/setup.exe"; then
    echo "reproducible: $(wc -c < "$first") bytes, identical"
else
    echo "two clean builds differ" >&2
    exit 1
fi
