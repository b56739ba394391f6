#!/bin/sh
# Runs one test program in a fresh Wine prefix cloned from this Wine's template, then ends
# that prefix's wineserver and removes the prefix, also when the run is stopped.
# Usage: wine-test.sh [--cross-bitness] LOADER LOADER32 TEMPLATES PROGRAM [ARGS...]
#   --cross-bitness  the program's cases start peers of the other bitness
# Where no 32-bit x86 program can run (cmake/runs-32bit.sh says so), a 32-bit program and
# the cross-bitness cases are skipped (77); where that answer is "broken", they fail.
# A 32-bit program runs in a 32-bit prefix, as on the 32-bit Windows its package is for (on
# 64-bit Windows the 32-bit service refuses to run); its cross-bitness cases, whose peers
# are 64-bit, in a 64-bit one.
set -u
here=$(dirname "$0")
cross=no
[ "$1" = --cross-bitness ] && { cross=yes; shift; }
loader=$1 loader32=$2 templates=$3
shift 3
arch=win64
[ "$loader" = "$loader32" ] && [ "$cross" = no ] && arch=win32
if [ "$loader" = "$loader32" ] || [ "$cross" = yes ]; then
    answer=$("$here/runs-32bit.sh" "$loader32")
    case $? in
    0) ;;
    1) echo "skipped: $answer"; exit 77 ;;
    *) echo "$answer"; exit 1 ;;
    esac
fi
# Beside the templates, where hard links reach them.
work=$(mktemp -d "$templates/run.XXXXXX") || exit 1
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT
trap 'exit 130' INT
trap 'exit 143' TERM
trap 'exit 129' HUP
"$here/clone-prefix.sh" "$templates" "$work/prefix" "$arch" || { echo "wine-test: the prefix could not be cloned"; exit 1; }
"$loader" "$@"
