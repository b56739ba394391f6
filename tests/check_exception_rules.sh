#!/bin/sh
# Checks that Windows will run the library's structured-exception guard, which Wine never
# checks: a toolchain or flag change that breaks it would pass every other test.
# - 32-bit: the image is not marked NO_SEH and has no SafeSEH table (GNU as cannot list
#   the guard's handler in one, and Windows refuses a handler a table leaves out).
# - x64 and ARM64: every function of the project's own objects (the exports, the guard,
#   the guarded call and the client stub among them) has an unwind entry; Windows takes
#   a frame without one for a leaf and cannot unwind through it to the guard. On ARM64,
#   where compilers give frameless leaves no entry, code without one may only be such a
#   leaf: it calls nothing and leaves sp alone. Each OBJECT named must be among the
#   objects the link map (GNU ld's or lld's) places in the image.
# OBJDUMP disassembles what lies between unwind entries.
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
    machine=$(facts machine)
    [ -n "$functions" ] || fail "has no unwind entries at all"
    # Each of our objects' code, as the linker placed it: address, size and object, from
    # .text and from per-function sections (.text$NAME).
    if [ "$(head -c 7 "$map")" = Address ]; then
        # lld: "RVA SIZE ALIGN OBJECT:(SECTION)" under each output section; the project's
        # objects are CMake's .obj files, which archive members are named by alone.
        base=$((0x$(facts image-base)))
        placed=$(awk '
            NF == 4 && $4 ~ /\.obj:\(\.text([.$][^)]*)?\)$/ && $2 !~ /^0+$/ {
                object = $4
                sub(/:\([^)]*\)$/, "", object)
                print $1, $2, object
            }' "$map" | while read -r rva size object; do printf '%x %s %s\n' $((base + 0x$rva)) "$size" "$object"; done)
    else
        # GNU ld: long section names stand alone on a line with the rest on the next.
        placed=$(awk '
            /^ \.text([.$][^ \t]*)?$/ { name = $1; next }
            name != "" { $0 = " " name " " $0; name = "" }
            /^ \.text([.$][^ \t]*)?[ \t]+0x[0-9a-f]+[ \t]+0x[0-9a-f]+ [^\/]/ && $3 !~ /^0x0+$/ {
                object = $0
                sub(/^ [^ \t]+[ \t]+[^ \t]+[ \t]+[^ \t]+ /, "", object)
                print substr($2, 3), substr($3, 3), object
            }' "$map")
    fi
    for object; do
        printf '%s\n' "$placed" | grep -q "[ /(]$object)*\$" || fail "the link map places no code of $object"
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
            # Outside the unwind entries only padding may remain (x64), or leaves (ARM64).
            # GNU objdump: "ADDRESS:\tBYTES\tINSTRUCTION"; llvm-objdump: "ADDRESS: WORD\tINSTRUCTION".
            code=$("$objdump" -d --start-address=$gap --stop-address=$end "$image" |
                   awk -F'\t' 'NF >= 3 { print $3 } NF == 2 && $1 ~ /: [0-9a-f]+ *$/ { print $2 }' |
                   if [ "$machine" = AA64 ]; then
                       grep -E '^(bl|blr|blra[ab]z?)([[:space:]]|$)|^[a-z]+[[:space:]]+(sp|wsp),|\[sp[^]]*\]!|\[sp\], #' || true
                   else
                       awk '{ print $1 }' | grep -v -x -E 'nop|nopl|nopw|xchg|data16|cs' || true
                   fi)
            [ -z "$code" ] || echo "code of $object at $(printf '%x' "$gap") has no unwind entry"
        done
    done)
    [ -z "$problems" ] || fail "$problems" ;;
*)
    fail "is not a PE image" ;;
esac
[ "$status" -eq 0 ] && echo "$image: its exception handlers can run on Windows"
exit $status
