#!/bin/sh
# Clones a template Wine prefix for one program's run: hard links for the bulk, but real
# copies of the files at its top (the registry files, the update time stamp), which Wine
# writes in place: with more than one link, a write would reach the template and every
# other clone while they run.
# Usage: clone-prefix.sh TEMPLATE PREFIX
set -eu
template=$1 prefix=$2
cp -al "$template" "$prefix"
for file in "$prefix"/* "$prefix"/.[!.]*; do
    [ -f "$file" ] && [ ! -L "$file" ] || continue
    rm "$file" && cp "$template/${file##*/}" "$file"
done
