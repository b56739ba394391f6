#!/bin/sh
# Checks that Windows will run the library's structured-exception guard, which Wine never
# checks: a toolchain or flag change that breaks it would pass every other test.
# - 32-bit: the image is not marked NO_SEH and has no SafeSEH table (GNU as cannot list
#   the guard's handler in one, and Windows refuses a handler a table leaves out).
# - 64-bit: every function of the project's own objects (the exports, the guard, the
#   guarded call and the client stub among them) has an unwind entry; Windows takes a
#   frame without one for a leaf and cannot unwind through it to the guard.
# Usage: check_exception_rules.sh OBJDUMP IMAGE LINK_MAP
set -eu
objdump=$1 image=$2 map=$3
headers=$("$objdump" -p "$image")
fail() { echo "$image: $*"; status=1; }
status=0

case $(printf '%s\n' "$headers" | sed -n 's/.*file format //p') in
pei-i386)
    printf '%s\n' "$headers" | grep -q '^[[:space:]]*NO_SEH$' && fail "marked NO_SEH: no exception handler of it runs"
    set -- $(printf '%s\n' "$headers" | sed -n 's/^Entry a \([0-9a-f]*\) \([0-9a-f]*\) Load Configuration Directory.*/\1 \2/p')
    if [ "$((0x$2))" -ne 0 ]; then
        # SEHandlerTable and SEHandlerCount, 32 bits each at offset 0x40 of the record.
        base=$(printf '%s\n' "$headers" | sed -n 's/^ImageBase[[:space:]]*//p')
        at=$((0x$base + 0x$1 + 0x40))
        table=$("$objdump" -s --start-address=$at --stop-address=$((at + 8)) "$image" |
                sed -n 's/^ [0-9a-f]* \([0-9a-f]\{8\}\) \([0-9a-f]\{8\}\).*/\1\2/p')
        [ "$((0x$2))" -le $((0x40)) ] || [ "$table" = "0000000000000000" ] ||
            fail "carries a SafeSEH table ($table), which cannot list the guard's handler"
    fi ;;
pei-x86-64)
    functions=$(printf '%s\n' "$headers" | sed -n '/^The Function Table/,/^$/p' |
                awk 'NR > 2 && NF >= 4 { print $2, $3 }' | sort)
    [ -n "$functions" ] || fail "has no unwind entries at all"
    # Each of our objects' code, as the linker placed it: address, size and object.
    problems=$(sed -n 's/^ \.text[[:space:]]*0x\([0-9a-f]*\)[[:space:]]*0x\([0-9a-f]*\) \([^/].*\)$/\1 \2 \3/p' "$map" |
    while read -r start size object; do
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
