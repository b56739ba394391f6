#!/bin/sh
# Makes the Wine prefix that test programs start from, once per Wine: one for each Wine
# version and each answer to whether it runs 32-bit programs (a prefix made without them
# cannot run them), shared by every build tree. Prints the template's path.
# Usage: wine-template.sh TEMPLATES
set -u
templates=$1
loader=/usr/lib/wine/wine64
answer=$("$(dirname "$0")/runs-32bit.sh")
case $? in
0) bits=32-bit ;;
1) bits=no-32-bit ;;
*) echo "$answer" >&2; exit 1 ;;
esac
version=$("$loader" --version 2>/dev/null | tr -cs 'A-Za-z0-9.~+\n-' '-' | sed 's/-*$//')
[ -n "$version" ] || { echo "wine-template: $loader does not run" >&2; exit 1; }
prefix=$templates/$version-$bits
mkdir -p "$templates" || exit 1
exec 9>"$prefix.lock"
flock -w 900 9 || { echo "wine-template: $prefix.lock still held after 15 minutes" >&2; exit 1; }
if [ ! -f "$prefix/.complete" ]; then
    rm -rf "$prefix"
    WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml=" "$loader" wineboot -i >&2 &&
        WINEPREFIX="$prefix" wineserver -w && touch "$prefix/.complete" ||
        { echo "wine-template: wineboot failed for $prefix" >&2; exit 1; }
fi
echo "$prefix"
