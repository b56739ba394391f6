#!/bin/sh
# Makes the Wine prefix that test programs start from, once per Wine: one for each Wine
# version, each processor architecture (an arm64 Wine's prefix is not an amd64 one's) and
# each answer to whether it runs 32-bit programs (a prefix made without them cannot run
# them), shared by every build tree. Prints the template's path.
# win32 makes a 32-bit prefix instead, a 32-bit Windows: skipped (77) where no 32-bit
# program runs.
# Usage: wine-template.sh TEMPLATES [win64|win32]
set -u
templates=$1 arch=${2:-win64}
answer=$("$(dirname "$0")/runs-32bit.sh")
case $? in
0) bits=32-bit ;;
1) bits=no-32-bit
   [ "$arch" = win64 ] || { echo "skipped: $answer"; exit 77; } ;;
*) echo "$answer" >&2; exit 1 ;;
esac
version=$(/usr/lib/wine/wine64 --version 2>/dev/null | tr -cs 'A-Za-z0-9.~+\n-' '-' | sed 's/-*$//')
[ -n "$version" ] || { echo "wine-template: Wine's 64-bit loader does not run" >&2; exit 1; }
# The machine Wine runs on: under qemu's user-mode emulation, the emulated one.
key=$version-$(uname -m)
if [ "$arch" = win32 ]; then
    loader=/usr/lib/wine/wine prefix=$templates/$key-win32
else
    loader=/usr/lib/wine/wine64 prefix=$templates/$key-$bits
fi
mkdir -p "$templates" || exit 1
exec 9>"$prefix.lock"
flock -w 900 9 || { echo "wine-template: $prefix.lock still held after 15 minutes" >&2; exit 1; }
if [ ! -f "$prefix/.complete" ]; then
    rm -rf "$prefix"
    WINEARCH=$arch WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$loader" wineboot -i >&2 &&
        WINEPREFIX="$prefix" wineserver -w && touch "$prefix/.complete" ||
        { echo "wine-template: wineboot failed for $prefix" >&2; exit 1; }
fi
echo "$prefix"
