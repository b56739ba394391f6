#!/bin/sh
# Checks that Windows will run the library's structured-exception guard, which Wine never
# checks: a toolchain or flag change that breaks it would pass every other test.
# - 32-bit: the image is not marked NO_SEH and has no SafeSEH table (GNU as cannot list
#   the guard's handler in one, and Windows refuses a handler a table leaves out).
# - x64 and ARM64: every function of the project's own objects (the exports, the guard,
#   the guarded call and the client stub among them) has an unwind entry; Windows takes
#   a frame without one for a leaf and cannot unwind through it to the guard. Each OBJECT
#   named must be among the objects the link map (GNU ld's or lld's) places in the image.
# OBJDUMP disassembles what lies between unwind entries, which may only be padding.
# Usage: check_exception_rules.sh OBJDUMP IMAGE LINK_MAP OBJECT...
set -eu
objdump=$1 image=$2 map=$3
shift 3
facts() { "$(dirname "$0")/pe_image.sh" "$image" "$1" || { echo "$image: its $1 cannot be read" >&2; exit 1; }; }
fail() { echo "$image: $*"; status=1; }
status=0

case $(facts machine) in
014C)
    # IMAGE_DLLCHARACTERISTICS_NO_SEH, and the load configuration's SEHandlerTable.
    [ $(($(facts dll-characteristics) & 0x400)) -eq 0 ] || fail "marked NO_SEH: no exception handler of it runs"
    table=$(facts safe-seh-table)
    [ "$table" -eq 0 ] || fail "carries a SafeSEH table (at $table), which cannot list the guard's handler" ;;
8664 | AA64)
    functions=$(facts function-table | sort)
    [ -n "$functions" ] || fail "has no unwind entries at all"
    # Each of our objects' code, as the linker placed it: address, size and object, from
    # .text and from per-function sections (.text$NAME), whose long names stand alone on
    # a line with the rest on the next.
    placed=$(awk '
        /^ \.text([.$][^ \t]*)?$/ { name = $1; next }
        name != "" { $0 = " " name " " $0; name = "" }
        /^ \.text([.$][^ \t]*)?[ \t]+0x[0-9a-f]+[ \t]+0x[0-9a-f]+ [^\/]/ && $3 !~ /^0x0+$/ {
            object = $0
            sub(/^ [^ \t]+[ \t]+[^ \t]+[ \t]+[^ \t]+ /, "", object)
            print substr($2, 3), substr($3, 3), object
        }' "$map")
    for object; do
        printf '%s\n' "$placed" | grep -q "[/(]$object)*\$" || fail "the link map places no code of $object"
    done
    problems=$(printf '%s\n' "$placed" | while read -r start size object; do
        [ -n "$start" ] || continue
        from=$((0x$start)) to=$((0x$start + 0x$size))
        printf '%s\n' "$functions" | {
            covered=$from
            while read -r begin end; do
                begin=$((0x$begin)) end=$((0x$end))
                if [ "$end" -le "$from" ] || [ "$begin" -ge "$to" ]; then continue; fi
                [ "$begin" -gt "$covered" ] && echo "$covered $begin"
                [ "$end" -gt "$covered" ] && covered=$end
            done
            [ "$covered" -lt "$to" ] && echo "$covered $to"
            true
        } | while read -r gap end; do
            # Outside the unwind entries only padding may remain.
            code=$("$objdump" -d --start-address=$gap --stop-address=$end "$image" |
                   awk -F'\t' 'NF >= 3 { split($3, word, " "); print word[1] }' |
                   grep -v -x -E 'nop|nopl|nopw|xchg|data16|cs' || true)
            [ -z "$code" ] || echo "code of $object at $(printf '%x' "$gap") has no unwind entry"
        done
    done)
    [ -z "$problems" ] || fail "$problems" ;;
*)
    fail "is not a PE image" ;;
esac
[ "$status" -eq 0 ] && echo "$image: its exception handlers can run on Windows"
exit $status
