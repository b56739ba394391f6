#!/bin/sh
# Installs what building and testing need on Debian 12 or 13, only where it is missing.
# A failed install fails; the one exception is wine32:i386 when apt itself says it can't
# be installed now (a mirror whose i386 index lags): then everything else is installed,
# and the test run reports that no 32-bit program ran.
# Usage: setup.sh [--list] [PACKAGE...]   (packages one command needs beyond those;
#                                          --list prints the packages, installs nothing)
set -eu

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

list=no
[ "${1:-}" = --list ] && { list=yes; shift; }
# clang-19, lld-19, llvm-19 and what scripts/arm64-sysroot.sh builds with: the ARM64 build.
packages="cmake ninja-build ccache g++ g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 clang-19 lld-19 llvm-19 make python3 bzip2 xz-utils
googletest wine wine64 wine32:i386 wixl msitools faketime $*"
[ "$list" = no ] || { printf '%s\n' $packages; exit 0; }

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

# Another apt or dpkg (an unattended upgrade at boot) holds the lock: wait for it.
apt() { as_root env DEBIAN_FRONTEND=noninteractive apt-get -o DPkg::Lock::Timeout=600 "$@"; }

echo "Installing:$missing"
# 32-bit Wine is needed for the 32-bit builds and for prefixes that run both bitnesses.
dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
# A mirror caught mid-sync fails one index; the install below still finds its packages in
# the others, and fails itself if it cannot.
apt update -q || echo "setup: apt-get update reported errors; installing from the indexes it has"
case " $missing " in
*" wine32:i386 "*)
    if ! why=$(apt-get install -s -q wine32:i386 2>&1); then
        printf '%s\n' "$why" | tail -n 5
        echo "setup: apt says wine32:i386 cannot be installed now; installing the rest without it"
        missing=$(printf '%s\n' $missing | grep -vx 'wine32:i386' | tr '\n' ' ')
    fi ;;
esac
apt install -y -q --no-install-recommends $missing
