#!/bin/sh
# Prints one list of facts read from a PE image's own headers, one entry per line, so that
# checks don't depend on how a binutils release displays them.
# Usage: pe_image.sh IMAGE FACT, FACT one of
#   machine              the file header's machine, 4 hex digits (8664, 014C, AA64)
#   image-base           the optional header's, hex
#   exports, imports     names, one per line
#   resource-types       the numeric types of the resource directory's root
#   dll-characteristics  the optional header's field
#   safe-seh-table       the 32-bit load configuration's SEHandlerTable (0: none)
#   function-table       "BEGIN END" (hex virtual addresses) of every unwind entry, x64
#                        and ARM64
#   build-id             the CodeView record's GUID, as objdump shows it (hex, no dashes)
set -eu
image=$1
# A field past the end of the file is an error, never an empty value.
u16() { value=$(od -An -tu2 -j"$1" -N2 "$image" | tr -d ' '); [ -n "$value" ] || exit 1; echo "$value"; }
u32() { value=$(od -An -tu4 -j"$1" -N4 "$image" | tr -d ' '); [ -n "$value" ] || exit 1; echo "$value"; }
text() { dd if="$image" bs=1 skip="$1" count=512 2>/dev/null | tr '\0' '\n' | head -n 1; }

[ "$(dd if="$image" bs=2 count=1 2>/dev/null)" = MZ ] || { echo "$image: not a PE image" >&2; exit 1; }
pe=$(u32 60)
sections=$(u16 $((pe + 6)))
optional=$((pe + 24))
table=$((optional + $(u16 $((pe + 20)))))
# The data directories follow the optional header's fixed part: 96 bytes (PE32), 112 (PE32+).
case $(u16 "$optional") in
267) directories=$((optional + 96)) ;;
523) directories=$((optional + 112)) ;;
*) echo "$image: unknown optional header" >&2; exit 1 ;;
esac

# The file offset of a relative virtual address, through the section table.
offset() {
    i=0
    while [ "$i" -lt "$sections" ]; do
        section=$((table + 40 * i))
        start=$(u32 $((section + 12)))
        if [ "$1" -ge "$start" ] && [ "$1" -lt $((start + $(u32 $((section + 8))))) ]; then
            echo $(($1 - start + $(u32 $((section + 20)))))
            return
        fi
        i=$((i + 1))
    done
    echo "$image: address $1 is in no section" >&2
    exit 1
}

case $2 in
machine) printf '%04X\n' "$(u16 $((pe + 4)))"; exit 0 ;;
image-base)
    if [ "$(u16 "$optional")" -eq 267 ]; then printf '%x\n' "$(u32 $((optional + 28)))"
    else printf '%x\n' "$(od -An -tu8 -j$((optional + 24)) -N8 "$image" | tr -d ' ')"; fi
    exit 0 ;;
dll-characteristics) u16 $((optional + 70)); exit 0 ;;
function-table) index=3 ;;
exports) index=0 ;;
imports) index=1 ;;
resource-types) index=2 ;;
build-id) index=6 ;;
safe-seh-table) [ "$(u16 "$optional")" -eq 267 ] || { echo "$image: a SafeSEH table is 32-bit only" >&2; exit 2; }
                index=10 ;;
*) echo "usage: $0 IMAGE machine|image-base|exports|imports|resource-types|dll-characteristics|safe-seh-table|function-table|build-id" >&2
   exit 2 ;;
esac
directory=$(u32 $((directories + 8 * index)))
if [ "$directory" -eq 0 ]; then
    [ "$2" != safe-seh-table ] || echo 0
    exit 0
fi
at=$(offset "$directory")
case $2 in
exports)
    names=$(offset "$(u32 $((at + 32)))")
    i=0 count=$(u32 $((at + 24)))
    while [ "$i" -lt "$count" ]; do
        text "$(offset "$(u32 $((names + 4 * i)))")"
        i=$((i + 1))
    done ;;
imports)
    # Descriptors of 20 bytes, the name's address at 12, up to one of zeros.
    while name=$(u32 $((at + 12))) || { echo "$image: the import table is cut short" >&2; exit 1; }
          [ "$name" -ne 0 ]; do
        name=$(offset "$name")
        text "$name"
        at=$((at + 20))
    done ;;
resource-types)
    # The root directory's entries: named ones first, then those with a numeric type.
    named=$(u16 $((at + 12))) i=0 count=$(u16 $((at + 14)))
    while [ "$i" -lt "$count" ]; do
        u32 $((at + 16 + 8 * (named + i)))
        i=$((i + 1))
    done ;;
function-table)
    size=$(u32 $((directories + 8 * index + 4)))
    base=$(od -An -tu8 -j$((optional + 24)) -N8 "$image" | tr -d ' ')
    case $(u16 $((pe + 4))) in
    34404)  # x64: begin, end and unwind information, 12 bytes each
        od -An -tu4 -v -w12 -j"$at" -N"$size" "$image" | while read -r begin end _; do
            printf '%016x %016x\n' $((base + begin)) $((base + end))
        done ;;
    43620)  # ARM64: begin and a word that packs the function's length or points to its .xdata
        od -An -tu4 -v -w8 -j"$at" -N"$size" "$image" | while read -r begin word; do
            case $((word & 3)) in
            0) length=$(($(u32 "$(offset "$word")") & 0x3FFFF)) ;;
            1 | 2) length=$((word >> 2 & 0x7FF)) ;;
            *) echo "$image: unwind entry at $begin of an unknown kind" >&2; exit 1 ;;
            esac
            printf '%016x %016x\n' $((base + begin)) $((base + begin + 4 * length))
        done ;;
    *) echo "$image: no unwind entries on this machine" >&2; exit 2 ;;
    esac ;;
build-id)
    # The CodeView record's GUID, its first three fields in text order as objdump shows it:
    # debug directory entries of 28 bytes, type 2 (CodeView), the record at its file offset.
    end=$((at + $(u32 $((directories + 8 * index + 4)))))
    while [ "$at" -lt "$end" ]; do
        record=$(u32 $((at + 24)))
        if [ "$(u32 $((at + 12)))" -eq 2 ] && [ "$(dd if="$image" bs=1 skip="$record" count=4 2>/dev/null)" = RSDS ]; then
            od -An -tx1 -j $((record + 4)) -N 16 "$image" | tr -d ' \n' |
                sed -E 's/^(..)(..)(..)(..)(..)(..)(..)(..)/\4\3\2\1\6\5\8\7/'
            echo
        fi
        at=$((at + 28))
    done ;;
safe-seh-table)
    # The 32-bit load configuration's SEHandlerTable, at 0x40, where the record reaches it.
    if [ "$(u32 $((directories + 8 * index + 4)))" -gt $((0x40)) ]; then u32 $((at + 0x40)); else echo 0; fi ;;
esac
