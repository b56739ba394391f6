#!/bin/sh
# Clones a template Wine prefix for one program's run: hard links for the bulk, but real
# copies of the registry files, since wineserver writes a registry file that has more than
# one link in place, which would change the template.
# Usage: clone-prefix.sh TEMPLATE PREFIX
set -eu
template=$1 prefix=$2
cp -al "$template" "$prefix"
for hive in "$prefix"/*.reg; do
    rm "$hive" && cp "$template/${hive##*/}" "$hive"
done
