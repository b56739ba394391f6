#!/bin/sh
# Creates the Wine prefix that every test executable of a build tree starts from.
# Usage: wine-template.sh LOADER PREFIX
set -eu
loader=$1 prefix=$2
export WINEPREFIX="$prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
exec 9>"$prefix.lock"
flock 9
[ -f "$prefix/.complete" ] && exit 0
rm -rf "$prefix"
"$loader" wineboot -i
wineserver -w
touch "$prefix/.complete"
