#!/bin/sh
# Runs one test program in a fresh Wine prefix cloned from the template, then
# ends that prefix's wineserver so nothing outlives the test.
# Usage: wine-test.sh LOADER LOADER32 TEMPLATE PROGRAM [ARGS...]
set -u
loader=$1 loader32=$2 template=$3
shift 3
# Where no 32-bit x86 program can run, a 32-bit test program is skipped (77), and a
# 64-bit one is told so, to skip its cases that start a 32-bit peer.
if "$(dirname "$0")/no-32bit-programs.sh" "$loader32"; then
    if [ "$loader" = "$loader32" ]; then
        echo "skipped: this machine runs no 32-bit x86 programs under Wine (see cmake/no-32bit-programs.sh)"
        exit 77
    fi
    export RADIOSWITCH_NO_32BIT_PROGRAMS=1
fi
work=$(mktemp -d "${TMPDIR:-/tmp}/radioswitch-test.XXXXXX")
"$(dirname "$0")/clone-prefix.sh" "$template" "$work/prefix" || { rm -rf "$work"; exit 1; }
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$loader" "$@"
status=$?
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
rm -rf "$work"
exit $status
