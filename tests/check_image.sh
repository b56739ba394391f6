#!/bin/sh
# Checks a built image: it imports only system DLLs, carries a resource of each type
# given, and, for a DLL, exports exactly the names given (undecorated on both bitnesses).
# Usage: check_image.sh OBJDUMP IMAGE [--resource TYPE-ID]... [EXPORT...]
set -eu
objdump=$1 image=$2
shift 2
dump=$("$objdump" -p "$image")
status=0
while [ $# -ge 2 ] && [ "$1" = --resource ]; do
    # The first level of the resource directory lists the types.
    type=$(printf '0x%06x' "$2")
    if ! printf '%s\n' "$dump" | grep -Eq "^[0-9a-f]+   Entry: ID: $type,"; then
        echo "$image carries no resource of type $2"
        status=1
    fi
    shift 2
done
for dll in $(printf '%s\n' "$dump" | sed -n 's/^\tDLL Name: //p'); do
    case $(printf '%s' "$dll" | tr 'A-Z' 'a-z') in
        kernel32.dll|advapi32.dll|msvcrt.dll|rpcrt4.dll|setupapi.dll|cfgmgr32.dll|bthprops.cpl|user32.dll) ;;
        *) echo "$image imports $dll, which is not a system DLL"; status=1 ;;
    esac
done
case $image in
*.dll)
    exports=$(printf '%s\n' "$dump" | sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' | sort | tr '\n' ' ')
    expected=$(printf '%s\n' "$@" | sed '/^$/d' | sort | tr '\n' ' ')
    if [ "$exports" != "$expected" ]; then
        echo "$image exports [$exports], expected [$expected]"
        status=1
    fi ;;
esac
exit $status
