#!/bin/sh
# Makes 32-bit programs run, so that the tests can run the shipped i686
# setup under 32-bit Wine. Most kernels execute them; some virtual machines
# run 64-bit user code only (execve of an i386 program fails with "Exec
# format error"). There qemu's user-mode emulator runs them, registered with
# binfmt_misc for i386 executables. Idempotent; the registration is lost at
# reboot and made again by the next run. Never fails: without 32-bit
# programs the i686 tests are skipped, with this reason.
set -u

qemu=/usr/bin/qemu-i386
misc=/proc/sys/fs/binfmt_misc
runs() { /usr/lib/wine/wine --version >/dev/null 2>&1; }
# Natively, or through our emulator registered earlier.
if runs && { [ ! -e "$misc/qemu-i386" ] || grep -qsx "interpreter $qemu" "$misc/qemu-i386"; }; then
    exit 0
fi

say() { echo "enable-i386: $*" >&2; }
[ "$(id -u)" = 0 ] || { say "this machine does not execute 32-bit programs (run as root to emulate them)"; exit 0; }

# qemu 7.2 of Debian 12 runs Wine, but each Wine process then needs about a
# minute to start: it takes MAP_FIXED_NOREPLACE as a plain hint, and Wine
# reserves its address space 64 KiB at a time. Debian 13 has qemu 10, and so
# has Debian 12's backports suite, reached through the machine's own mirror.
recent() { case "$1" in 1:[89].*|1:[1-9][0-9].*) return 0 ;; esac; return 1; }
if ! recent "$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null || true)"; then
    export DEBIAN_FRONTEND=noninteractive
    . /etc/os-release
    release=""
    if ! recent "$(apt-cache policy qemu-user 2>/dev/null | sed -n 's/^ *Candidate: //p')"; then
        backports="${VERSION_CODENAME:-}-backports"
        release="-t $backports"
        say "installing qemu-user from $backports"
        if ! grep -qs "$backports" /etc/apt/sources.list /etc/apt/sources.list.d/*; then
            # The machine's own entry for its release, with the suite changed.
            for f in /etc/apt/sources.list.d/*.sources; do
                [ -f "$f" ] || continue
                awk -v r="${VERSION_CODENAME:-}" -v b="$backports" 'BEGIN { RS = ""; FS = "\n" }
                    $0 ~ "(^|\n)Suites:[ \t]*" r "([ \t\n]|$)" && !done {
                        for (i = 1; i <= NF; i++) {
                            if ($i ~ /^Suites:/) $i = "Suites: " b
                            if ($i !~ /^#/) print $i
                        }
                        done = 1 }' "$f"
            done > /etc/apt/sources.list.d/tonvaro-backports.sources
            [ -s /etc/apt/sources.list.d/tonvaro-backports.sources ] || {
                rm -f /etc/apt/sources.list.d/tonvaro-backports.sources
                awk -v r="${VERSION_CODENAME:-}" -v b="$backports" '$1 == "deb" && !done {
                        for (i = 2; i <= NF; i++) if ($i == r) { $i = b; print; done = 1; break } }' \
                    /etc/apt/sources.list /etc/apt/sources.list.d/*.list 2>/dev/null \
                    > /etc/apt/sources.list.d/tonvaro-backports.list
            }
        fi
        apt-get update -qq >/dev/null 2>&1 || true
    fi
    # shellcheck disable=SC2086
    apt-get install -y -qq --no-install-recommends $release qemu-user \
        >/dev/null 2>&1 || { say "qemu-user could not be installed"; exit 0; }
fi

[ -e "$misc/register" ] || mount -t binfmt_misc binfmt_misc "$misc" 2>/dev/null ||
    { say "binfmt_misc cannot be mounted here"; exit 0; }
[ -e "$misc/qemu-i386" ] && echo -1 > "$misc/qemu-i386"
# ELF, 32-bit, little-endian, an executable or shared object for the 80386.
# F: the kernel opens the emulator now, so it works in every mount namespace.
printf '%s' ":qemu-i386:M::\\x7fELF\\x01\\x01\\x01\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x00\\x02\\x00\\x03\\x00:\\xff\\xff\\xff\\xff\\xff\\xfe\\xfe\\x00\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xff\\xfe\\xff\\xff\\xff:$qemu:F" \
    > "$misc/register" 2>/dev/null || { say "the emulator could not be registered"; exit 0; }
if runs; then
    say "32-bit programs run here through $($qemu --version | head -1)"
else
    say "32-bit programs still do not run"
fi
