#!/bin/sh
# Runs a command in a Debian 13 root: an amd64 one whose Wine runs 32-bit programs, or with
# --arch arm64 an arm64 one whose Wine runs ARM64 Windows programs under qemu's user-mode
# emulation. The amd64 root is made once with mmdebstrap from the Debian mirror this machine
# already uses, set up by scripts/setup.sh, and set up again when that package list changes;
# the arm64 root is only extracted (making it runs no arm64 code) and is made again when its
# package list changes. The command runs in user, mount and PID namespaces of its own: its
# mounts, its processes and the qemu handler that runs foreign code (in a binfmt_misc of the
# run's own) go with it, also when the run is stopped (INT, TERM, or its caller killed).
# The root's /tmp is a tmpfs, as on a Debian 13 machine. The tree is bind-mounted at its
# own path; with --own-build the amd64 root builds into a folder of its own, mounted over
# build/ (its toolchain is not the host's): one folder for every tree, remade for another
# tree. Files the run leaves in a tree that is not root's are given back to the tree's owner.
# Usage: debian-root.sh [--arch amd64|arm64] [--own-build] COMMAND [ARG...]
#   scripts/debian-root.sh scripts/run-tests.sh x86              the host's 32-bit test programs
#   scripts/debian-root.sh --own-build scripts/test.sh          the suite built with Debian 13's toolchain
#   scripts/debian-root.sh --arch arm64 scripts/run-tests.sh arm64   the host's ARM64 test programs
# RADIOSWITCH_DEBIAN_ROOT names the amd64 root (default /var/tmp/radioswitch-debian13); the
# arm64 root is that name with -arm64. Removing those folders and their .lock files removes
# everything the runs made.
# Exit 75: this machine can host no such root (no user namespaces), or, for arm64, gives a
# run no binfmt_misc of its own for the emulator; otherwise the command's.
set -eu
tree=$(cd "$(dirname "$0")/.." && pwd)
path=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin

if [ "${1:-}" = --inside ]; then
    # PID 1's child in the run's namespaces; ROOT, the build folder (or "") and the mode
    # (test: the 32-bit decision is made; setup: nothing runs emulated; arm64: everything
    # does) come from the caller.
    root=$2 build=$3 mode=$4
    shift 4
    mount -t proc proc "$root/proc"
    mount --rbind /sys "$root/sys"
    mount --rbind /dev "$root/dev"
    mount -t tmpfs -o mode=1777 tmpfs "$root/tmp"
    mkdir -p "$tree/build" "$root$tree"
    mount --bind "$tree" "$root$tree"
    [ -z "$build" ] || mount --bind "$build" "$root$tree/build"
    cp /etc/resolv.conf "$root/etc/resolv.conf"
    mkdir -p -m 700 "$root/run/user/0"
    # Foreign code runs under the root's qemu (a static amd64 program), through a handler
    # in a binfmt_misc of this run's user namespace (kernel 6.7 and later): it goes with the
    # run, and nothing is registered for the rest of the machine. The interpreter's path is
    # looked up in the root when a program starts.
    binfmt=$root/proc/sys/fs/binfmt_misc
    handler() {  # NAME MAGIC MASK INTERPRETER; fails where the kernel gives no binfmt_misc
        mount -t binfmt_misc binfmt_misc "$binfmt" 2>/dev/null || return 1
        # The kernel decodes the \x escapes itself.
        printf '%s' ":$1:M::$2:$3:$4:P" >"$binfmt/register"
    }
    emulator="" answer="" arm64="" cpu=""
    if [ "$mode" = test ]; then
        answer=$(chroot "$root" "$tree/cmake/runs-32bit.sh") || true
        case $answer in
        *"kernel refuses"*)
            if handler radioswitch-i386 '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00' \
                '\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' /usr/bin/qemu-i386; then
                emulator=qemu-i386
                answer=$(chroot "$root" "$tree/cmake/runs-32bit.sh") || true
            else
                answer="no: this kernel refuses 32-bit x86 code and gives a run no binfmt_misc of its own (kernel 6.7 and later) for an emulator"
            fi ;;
        esac
        case $answer in yes | no:*) ;; *) answer="" ;; esac
    elif [ "$mode" = arm64 ]; then
        if ! handler radioswitch-aarch64 '\x7fELF\x02\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\xb7\x00' \
            '\xff\xff\xff\xff\xff\xff\xff\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff' /usr/bin/qemu-aarch64; then
            echo "NOT RUN here: the arm64 root's programs (this kernel gives a run no binfmt_misc of its own (kernel 6.7 and later) for qemu-aarch64)"
            exit 75
        fi
        # With qemu's default processor model Wine's wineboot never finishes.
        cpu=cortex-a72
        arm64="$(chroot "$root" /usr/bin/qemu-aarch64 --version | sed -n '1s/ version \([^ ]*\).*/ \1/p') ($cpu)"
    fi
    exec env -i HOME=/root PATH="$path" LANG=C.UTF-8 TERM="${TERM:-dumb}" XDG_RUNTIME_DIR=/run/user/0 \
        RADIOSWITCH_32BIT_PROGRAMS="$answer" RADIOSWITCH_I386_EMULATOR="$emulator" \
        RADIOSWITCH_ARM64_EMULATOR="$arm64" ${cpu:+QEMU_CPU=$cpu} \
        chroot "$root" sh -c 'cd "$1" && shift && exec "$@"' sh "$tree" "$@"
fi

root=""
[ "${1:-}" = --root ] && { root=$2; shift 2; }
arch=amd64 own_build=no
while :; do
    case ${1:-} in
    --arch) arch=${2:-}; [ $# -lt 2 ] || shift; shift ;;
    --own-build) own_build=yes; shift ;;
    *) break ;;
    esac
done
usage="usage: $0 [--arch amd64|arm64] [--own-build] COMMAND [ARG...]"
[ $# -gt 0 ] || { echo "$usage" >&2; exit 2; }
case $arch:$own_build in
amd64:*) root=${root:-${RADIOSWITCH_DEBIAN_ROOT:-/var/tmp/radioswitch-debian13}} ;;
# The arm64 root has no toolchain: it runs what the host built.
arm64:no) root=${root:-${RADIOSWITCH_DEBIAN_ROOT:-/var/tmp/radioswitch-debian13}-arm64} ;;
arm64:yes) echo "$usage (--own-build only with amd64)" >&2; exit 2 ;;
*) echo "$usage" >&2; exit 2 ;;
esac
if [ "$(id -u)" -ne 0 ]; then
    [ "$own_build" = no ] || set -- --own-build "$@"
    exec sudo "$0" --root "$root" --arch "$arch" "$@"
fi
unshare --user --map-root-user --mount --pid --fork true 2>/dev/null ||
    { echo "debian-root: this kernel gives no user, mount and PID namespaces to a run"; exit 75; }
"$tree/scripts/setup.sh" mmdebstrap

# Runs "$0 --inside" in namespaces of its own and waits; INT, TERM and HUP end it, and so
# does the death of this script (its PID 1 is killed with it, and every process with that).
contained() {  # USER-NAMESPACE(yes|no) BUILD MODE COMMAND...
    users=
    [ "$1" = no ] || users="--user --map-root-user"
    shift
    # shellcheck disable=SC2086
    setpriv --pdeathsig KILL unshare $users --mount --pid --fork --kill-child --propagation private \
        "$0" --inside "$root" "$@" &
    child=$!
    trap 'kill -KILL "$child" 2>/dev/null' INT TERM HUP
    status=0
    wait "$child" || status=$?
    # A trapped signal ends the first wait early.
    kill -0 "$child" 2>/dev/null && { wait "$child" || status=$?; }
    trap - INT TERM HUP
    return "$status"
}

sources() { "$tree/scripts"/debian-sources.sh; }
mirror=$(sources | awk '$2 !~ /-/ && $1 ~ /debian\/?$/ { print $1; exit }')
security=$(sources | awk '$2 ~ /-security$/ { print $1; exit }')
mirror=${mirror:-http://deb.debian.org/debian}
security=${security:-http://deb.debian.org/debian-security}
# What the root was set up with: set up (amd64) or made (arm64) again when it changes.
if [ "$arch" = amd64 ]; then
    packages="$(printf '%s ' $("$tree/scripts/setup.sh" --list qemu-user))from $mirror $security"
else
    # What running the test programs needs (Wine, CTest, the test scripts' commands, the
    # package tests' tools) and the emulator: Debian 13's qemu-user, static amd64 programs.
    packages="wine wine64 cmake bash dash coreutils findutils diffutils sed grep mawk util-linux
        dpkg wixl msitools faketime base-files base-passwd qemu-user:amd64 from $mirror $security"
    packages=$(printf '%s ' $packages)
fi

exec 9>"$root.lock"
flock -w 3600 9 || { echo "debian-root: $root.lock is still held after an hour"; exit 1; }
[ "$arch" = amd64 ] || [ "$(cat "$root/.complete" 2>/dev/null)" = "$packages" ] || rm -f "$root/.made"
if [ ! -f "$root/.made" ]; then
    echo "debian-root: making a Debian 13 root in $root from $mirror"
    # A run killed before these namespaces existed may have left mounts under the root.
    for mounted in $(awk -v root="$root/" 'index($2, root) == 1 { print $2 }' /proc/self/mounts | sort -r); do
        umount -l "$mounted"
    done
    rm -rf --one-file-system "$root"
    if [ "$arch" = amd64 ]; then
        setpriv --pdeathsig KILL unshare --mount --propagation private --fork --kill-child \
            mmdebstrap --variant=minbase --include=ca-certificates trixie "$root" \
            "deb $mirror trixie main" "deb $mirror trixie-updates main" "deb $security trixie-security main"
    else
        # Only extracted: no arm64 code runs while it is made, and no maintainer script. dpkg
        # is told what is there (the package tools ask it for their versions).
        setpriv --pdeathsig KILL unshare --mount --propagation private --fork --kill-child \
            mmdebstrap --variant=extract --architectures=arm64,amd64 \
            --include="$(printf '%s\n' ${packages% from *} | paste -sd,)" \
            --extract-hook='for deb in "$1"/var/cache/apt/archives/*.deb; do
                echo "Package: $(dpkg-deb -f "$deb" Package)"; echo "Status: install ok installed"; dpkg-deb -f "$deb" |
                grep -v "^Package:"; echo; done >"$1/var/lib/dpkg/status"' trixie "$root" \
            "deb $mirror trixie main" "deb $mirror trixie-updates main" "deb $security trixie-security main"
        # What those scripts would have made: the accounts, and the commands that Wine's
        # and mawk's alternatives name.
        cp "$root/usr/share/base-passwd/passwd.master" "$root/etc/passwd"
        cp "$root/usr/share/base-passwd/group.master" "$root/etc/group"
        for stable in "$root"/usr/bin/*-stable; do ln -sf "${stable##*/}" "${stable%-stable}"; done
        ln -sf mawk "$root/usr/bin/awk"
        printf '%s' "$packages" >"$root/.complete"
    fi
    touch "$root/.made"
fi
if [ "$(cat "$root/.complete" 2>/dev/null)" != "$packages" ]; then
    # The project's own set-up adds what building and testing need, 32-bit Wine among it,
    # and qemu for kernels that refuse 32-bit code; a failed install fails the run.
    echo "debian-root: setting up $root"
    contained no "" setup env DEBIAN_FRONTEND=noninteractive sh -c \
        'apt-get -q update && apt-get -q -y dist-upgrade && scripts/setup.sh qemu-user'
    # A root that went on without 32-bit Wine (apt said it can't be installed now) tries
    # again at its next run.
    if chroot "$root" dpkg-query -W -f='${Status}' wine32:i386 2>/dev/null | grep -q "ok installed"; then
        printf '%s' "$packages" >"$root/.complete"
    fi
fi
# Held shared while the command runs: the root is not made or set up again under it.
flock -s 9

build=""
if [ "$own_build" = yes ]; then
    # One build folder for every tree, bounded in size: a build of another tree is removed.
    build=$root/var/lib/radioswitch-build
    exec 8>"$build.lock"
    flock -w 3600 8 || { echo "debian-root: $build.lock is still held after an hour"; exit 1; }
    [ "$(cat "$build.tree" 2>/dev/null)" = "$tree" ] || { rm -rf "$build"; printf '%s' "$tree" >"$build.tree"; }
    mkdir -p "$build"
fi
status=0
mode=test
[ "$arch" = amd64 ] || mode=$arch
contained yes "$build" "$mode" "$@" || status=$?
# Files the run made in a user's tree are the user's.
owner=$(stat -c %u:%g "$tree")
[ "$owner" = 0:0 ] || find "$tree" -xdev -uid 0 -exec chown -h "$owner" {} + || status=1
exit "$status"
