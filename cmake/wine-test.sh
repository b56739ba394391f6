#!/bin/sh
# Runs one test program in a fresh Wine prefix cloned from the template, then
# ends that prefix's wineserver so nothing outlives the test.
# Usage: wine-test.sh LOADER TEMPLATE PROGRAM [ARGS...]
set -u
loader=$1 template=$2
shift 2
work=$(mktemp -d "${TMPDIR:-/tmp}/radioswitch-test.XXXXXX")
# Hard links for the bulk, but real copies of the registry files: wineserver writes a
# registry file that has more than one link in place, which would change the template.
cp -al "$template" "$work/prefix"
for hive in "$work"/prefix/*.reg; do
    rm "$hive" && cp "$template/${hive##*/}" "$hive"
done
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
"$loader" "$@"
status=$?
wineserver -k 2>/dev/null
wineserver -w 2>/dev/null
rm -rf "$work"
exit $status
