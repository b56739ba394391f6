#!/bin/sh
# Creates the Wine prefix that every test executable of a build tree starts from.
# Usage: wine-template.sh LOADER LOADER32 PREFIX
set -eu
loader=$1 loader32=$2 prefix=$3
if [ "$loader" = "$loader32" ] && "$(dirname "$0")/no-32bit-programs.sh" "$loader32"; then
    echo "skipped: this machine runs no 32-bit x86 programs under Wine (see cmake/no-32bit-programs.sh)"
    exit 77
fi
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
# A template belongs to the Wine that made it: the host's and a Debian root's make their own
# (a 64-bit-only Wine's prefix cannot run 32-bit programs).
made_by="$("$loader" --version), 32-bit $("$(dirname "$0")/no-32bit-programs.sh" "$loader32" && echo no || echo yes)"
exec 9>"$prefix.lock"
flock 9
[ "$(cat "$prefix/.complete" 2>/dev/null)" = "$made_by" ] && exit 0
rm -rf "$prefix"
"$loader" wineboot -i
wineserver -w
echo "$made_by" >"$prefix/.complete"
