#!/bin/sh
# Installs what building and testing need on Debian 12 or 13, only where it is missing.
# Usage: setup.sh [PACKAGE...]   (packages one command needs beyond those)
set -eu

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages="cmake ninja-build g++ g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 googletest wine wine64 wine32:i386 wixl msitools faketime $*"

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

install() { as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends "$@"; }

echo "Installing:$missing"
# 32-bit Wine is needed for the 32-bit builds and for prefixes that run both bitnesses.
dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
# A mirror caught mid-sync fails one index; the install below still finds its packages in
# the others, and fails itself if it cannot.
as_root apt-get update -q || echo "setup: apt-get update reported errors; installing from the indexes it has"
install $missing && exit 0
# A mirror that lags behind for i386 leaves 32-bit Wine uninstallable. Everything else is
# still installed; the 32-bit test programs then report skipped, and scripts/test.sh says
# they did not run.
case " $missing " in *" wine32:i386 "*) ;; *) exit 1 ;; esac
echo "setup: wine32:i386 cannot be installed from this mirror; installing the rest without it"
install $(printf '%s\n' $missing | grep -vx 'wine32:i386')
