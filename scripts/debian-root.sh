#!/bin/sh
# Runs a command in a Debian 13 root whose Wine runs 32-bit programs: made once with
# debootstrap from the Debian mirror this machine already uses, reused after. The tree
# is bind-mounted at its own path, so the host's build trees are the root's. With
# --own-build the root builds into a folder of its own, mounted over build/, since its
# toolchain is not the host's. Everything the command starts ends with it.
# Usage: debian-root.sh [--own-build] COMMAND [ARG...]
#   scripts/debian-root.sh ctest --preset x86               the host's 32-bit test programs
#   scripts/debian-root.sh --own-build scripts/test.sh      the suite built with Debian 13's toolchain
# RADIOSWITCH_DEBIAN_ROOT names the root (default /var/tmp/radioswitch-debian13).
set -eu
[ "$(id -u)" -eq 0 ] || exec sudo "$0" "$@"
tree=$(cd "$(dirname "$0")/.." && pwd)
root=${RADIOSWITCH_DEBIAN_ROOT:-/var/tmp/radioswitch-debian13}
path=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

if [ "${1:-}" = --inside ]; then
    # In a mount and PID namespace of our own: the mounts and every process go with it.
    own_build=$2
    shift 2
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --rbind /dev "$root/dev"
    mkdir -p "$tree/build" "$root$tree"
    mount --bind "$tree" "$root$tree"
    if [ "$own_build" = yes ]; then
        mkdir -p "$root/var/lib/radioswitch-build$tree"
        mount --bind "$root/var/lib/radioswitch-build$tree" "$root$tree/build"
    fi
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    # A kernel without IA-32 emulation refuses every 32-bit program: the root's qemu then
    # runs them, through a binfmt_misc handler whose interpreter only the root has.
    binfmt=/proc/sys/fs/binfmt_misc
    [ -e "$binfmt/register" ] || mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || true
    if [ -x "$root/usr/bin/qemu-i386" ] && [ -e "$binfmt/register" ] && [ ! -e "$binfmt/radioswitch-i386" ] &&
        chroot "$root" "$tree/cmake/no-32bit-programs.sh" /usr/lib/wine/wine; then
        printf '%b' ':radioswitch-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:/usr/bin/qemu-i386:P' >"$binfmt/register"
    fi
    # Tests told so can allow for what the emulation does differently.
    emulator=
    [ -e "$binfmt/radioswitch-i386" ] && emulator=qemu-i386
    mkdir -p -m 700 "$root/run/user/0" "$root$tree/build/tmp"
    # Test prefixes are hard-linked clones of a template under build/: their folder must
    # be on the same mount, which the root's /tmp is not.
    exec env -i HOME=/root PATH="$path" LANG=C.UTF-8 TERM="${TERM:-dumb}" XDG_RUNTIME_DIR=/run/user/0 \
        TMPDIR="$tree/build/tmp" RADIOSWITCH_I386_EMULATOR="$emulator" \
        chroot "$root" sh -c 'cd "$1" && shift && exec "$@"' sh "$tree" "$@"
fi

own_build=no
[ "${1:-}" = --own-build ] && { own_build=yes; shift; }
[ $# -gt 0 ] || { echo "usage: $0 [--own-build] COMMAND [ARG...]" >&2; exit 2; }
command -v debootstrap >/dev/null || "$tree/scripts/setup.sh" debootstrap || exit 75

# "URI SUITE" for every Debian source of this machine, one-line and deb822 formats alike.
sources() {
    cat /etc/apt/sources.list /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources 2>/dev/null |
        awk '$1 == "deb" { line = $0; sub(/\[[^]]*\]/, "", line); split(line, field); print field[2], field[3] }
             /^URIs:/ { uris = $2 } /^Suites:/ { for (i = 2; i <= NF; i++) print uris, $i } /^$/ { uris = "" }'
}
mirror=$(sources | awk '$2 !~ /-/ && $1 ~ /debian\/?$/ { print $1; exit }')
security=$(sources | awk '$2 ~ /-security$/ { print $1; exit }')
mirror=${mirror:-http://deb.debian.org/debian}
security=${security:-http://deb.debian.org/debian-security}

exec 9>"$root.lock"
flock 9
if [ ! -f "$root/.complete" ]; then
    echo "debian-root: making a Debian 13 root in $root from $mirror"
    rm -rf "$root"
    # Exit code 75: no root could be made (the mirror, the network), which callers tell
    # apart from a failing command.
    debootstrap --variant=minbase trixie "$root" "$mirror" || exit 75
    printf 'deb %s trixie main\ndeb %s trixie-updates main\ndeb %s trixie-security main\n' \
        "$mirror" "$mirror" "$security" >"$root/etc/apt/sources.list"
    # The project's own set-up adds what building and testing need, 32-bit Wine among it,
    # and qemu for kernels that run no 32-bit code.
    unshare --mount --pid --fork --propagation private "$0" --inside no scripts/setup.sh qemu-user || exit 75
    touch "$root/.complete"
fi
flock -u 9
exec unshare --mount --pid --fork --propagation private "$0" --inside "$own_build" "$@"
