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
# A service program started from a console must fail its dispatcher call at once,
# not after Wine's 10 s wait for a control pipe.
"$loader" reg add 'HKLM\SYSTEM\CurrentControlSet\Control\ServiceCurrent' /ve /t REG_DWORD /d 999 /f >/dev/null
wineserver -w
touch "$prefix/.complete"
