#!/bin/sh
# Clones this Wine's template prefix (cmake/wine-template.sh) for one program's run. Wine's
# PE images and code-page tables are hard links where the file system allows them: Wine
# writes those only when it updates a prefix, which a clone of a current template never
# needs. Every other file is a copy of its own, since Wine rewrites registry and .ini files
# in place and a write through a shared link would reach the template and every clone.
# Usage: clone-prefix.sh TEMPLATES PREFIX [win64|win32]
set -eu
template=$("$(dirname "$0")/wine-template.sh" "$1" "${3:-win64}")
prefix=$2
if ! cp -al "$template" "$prefix" 2>/dev/null; then
    # No hard links here (another file system): a full copy.
    rm -rf "$prefix"
    exec cp -a "$template" "$prefix"
fi
prefix=$(cd "$prefix" && pwd)
cd "$template"
# One cp for many files: under an emulator (the arm64 root) every process start counts.
find . -type f ! \( -iname '*.dll' -o -iname '*.exe' -o -iname '*.sys' -o -iname '*.drv' -o -iname '*.cpl' \
    -o -iname '*.ocx' -o -iname '*.acm' -o -iname '*.tlb' -o -iname '*.ax' -o -iname '*.nls' \) \
    -exec cp --parents --remove-destination -p -t "$prefix" {} +
