#!/bin/sh
# The main job on a fresh Debian 12 machine: installs what is missing, builds every
# deliverable for both bitnesses and shows where each is and what it imports and exports.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
for preset in x64 x86; do
    case $preset in x64) triple=x86_64-w64-mingw32 ;; x86) triple=i686-w64-mingw32 ;; esac
    for file in build/$preset/bin/radioswitch*.dll build/$preset/bin/radioswitchsvc*.exe; do
        [ -f "$file" ] || continue
        echo "== $file ($(stat -c %s "$file") bytes)"
        $triple-objdump -p "$file" | sed -n 's/^\tDLL Name: /  imports /p'
        $triple-objdump -p "$file" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] /  exports /p'
    done
done
echo "Built both bitnesses."
