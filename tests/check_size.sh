#!/bin/sh
# Checks that an image, stripped of its symbols as a release build ships it, is at most
# MAX_BYTES long.
# Usage: check_size.sh STRIP IMAGE MAX_BYTES
set -eu
strip=$1 image=$2 max=$3
copy=$(mktemp)
trap 'rm -f "$copy"' EXIT
"$strip" -o "$copy" "$image"
size=$(stat -c %s "$copy")
echo "$image: $size bytes stripped, limit $max"
[ "$size" -le "$max" ] || { echo "$image is larger than $max bytes"; exit 1; }
