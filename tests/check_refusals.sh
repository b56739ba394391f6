#!/bin/sh
# The image checks refuse what they must: an image for another machine, an image copy
# whose import directory is cleared (an import list read as empty), a link map that
# places none of the required objects and a copy whose exception directory is cleared
# (64-bit), and a copy marked NO_SEH (32-bit). Each must be refused with its own reason.
# Usage: check_refusals.sh OBJDUMP IMAGE LINK_MAP OBJECT...
set -u
objdump=$1 image=$2 map=$3
shift 3
here=$(dirname "$0")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
u16() { od -An -tu2 -j"$1" -N2 "$image" | tr -d ' '; }
u32() { od -An -tu4 -j"$1" -N4 "$image" | tr -d ' '; }
# Writes a little-endian value of $3 bytes at offset $2 of file $1.
put() { value=$3 bytes=""
    for _ in $(seq "$4"); do bytes="$bytes$(printf '\\%03o' $((value & 255)))"; value=$((value >> 8)); done
    printf "$bytes" | dd of="$1" bs=1 seek="$2" conv=notrunc 2>/dev/null; }
refused() { # REASON COMMAND...: the command fails and says REASON
    reason=$1
    shift
    said=$("$@" 2>&1) && { echo "not refused ($reason expected): $*"; status=1; return; }
    printf '%s\n' "$said" | grep -q "$reason" || { echo "refused for another reason than \"$reason\": $said"; status=1; }
}
optional=$(($(u32 60) + 24))
case $(u16 "$optional") in 267) directories=$((optional + 96)) ;; *) directories=$((optional + 112)) ;; esac
refused "is for machine" "$here/check_image.sh" "$image" --machine 0000
copy=$work/${image##*/}
cp "$image" "$copy"
put "$copy" $((directories + 8)) 0 8
refused "no KERNEL32.dll among its imports" "$here/check_image.sh" "$copy" --machine "$("$here/pe_image.sh" "$image" machine)"
if [ "$(u16 "$optional")" -eq 267 ]; then
    cp "$image" "$copy"
    put "$copy" $((optional + 70)) $(($(u16 $((optional + 70))) | 0x400)) 2
    refused "marked NO_SEH" "$here/check_exception_rules.sh" "$objdump" "$copy" "$map" "$@"
else
    refused "the link map places no code of" "$here/check_exception_rules.sh" "$objdump" "$image" /dev/null "$@"
    cp "$image" "$copy"
    put "$copy" $((directories + 24)) 0 8
    refused "has no unwind entries at all" "$here/check_exception_rules.sh" "$objdump" "$copy" "$map" "$@"
fi
exit $status
