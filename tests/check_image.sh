#!/bin/sh
# Checks a built image: it is for the machine given, imports only system DLLs, carries a
# resource of each type given, and, for a DLL, exports exactly the names given
# (undecorated on every architecture).
# Usage: check_image.sh IMAGE --machine 8664|014C|AA64 [--resource TYPE-ID]... [EXPORT...]
set -eu
image=$1
shift
facts() { "$(dirname "$0")/pe_image.sh" "$image" "$1" || { echo "$image: its $1 cannot be read" >&2; exit 1; }; }
[ "${1:-}" = --machine ] || { echo "usage: $0 IMAGE --machine MACHINE [--resource TYPE-ID]... [EXPORT...]" >&2; exit 2; }
machine=$(facts machine)
status=0
[ "$machine" = "$2" ] || { echo "$image is for machine $machine, expected $2"; status=1; }
shift 2
types=$(facts resource-types)
while [ $# -ge 2 ] && [ "$1" = --resource ]; do
    if ! printf '%s\n' "$types" | grep -qx "$2"; then
        echo "$image carries no resource of type $2"
        status=1
    fi
    shift 2
done
# Every image imports KERNEL32.dll: an import list without it was not read.
imports=$(facts imports)
printf '%s\n' "$imports" | grep -qix kernel32.dll || { echo "$image: no KERNEL32.dll among its imports [$imports]"; exit 1; }
for dll in $imports; do
    case $(printf '%s' "$dll" | tr 'A-Z' 'a-z') in
        kernel32.dll|advapi32.dll|msvcrt.dll|rpcrt4.dll|setupapi.dll|cfgmgr32.dll|bthprops.cpl|user32.dll) ;;
        # The Universal CRT is part of every Windows that runs ARM64 code (10 and later).
        api-ms-win-crt-*.dll) [ "$machine" = AA64 ] || { echo "$image imports $dll, the Universal CRT"; status=1; } ;;
        *) echo "$image imports $dll, which is not a system DLL"; status=1 ;;
    esac
done
case $image in
*.dll)
    exports=$(facts exports | sort | tr '\n' ' ')
    expected=$(printf '%s\n' "$@" | sed '/^$/d' | sort | tr '\n' ' ')
    if [ "$exports" != "$expected" ]; then
        echo "$image exports [$exports], expected [$expected]"
        status=1
    fi ;;
esac
exit $status
