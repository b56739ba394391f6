#!/bin/sh
# Installs what building and testing need on Debian 12, only where it is missing.
# Usage: setup.sh [PACKAGE...]   (packages one command needs beyond those)
set -eu

as_root() { if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi; }

packages="cmake ninja-build g++ g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools
binutils-mingw-w64-x86-64 binutils-mingw-w64-i686 googletest wine wine64 wine32:i386 $*"

missing=""
for package in $packages; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "ok installed" || missing="$missing $package"
done
[ -z "$missing" ] && exit 0

echo "Installing:$missing"
# 32-bit Wine is needed for the 32-bit builds and for prefixes that run both bitnesses.
dpkg --print-foreign-architectures | grep -qx i386 || as_root dpkg --add-architecture i386
as_root apt-get update -q
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends $missing
