#!/bin/sh
# Runs the built test programs under this machine's Wine (both bitnesses, or the presets
# given) and says plainly which bitnesses ran where.
# Usage: run-tests.sh [PRESET...]
set -u
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- x64 x86
status=0
for preset in "$@"; do
    echo "== tests: $preset"
    ctest --preset "$preset" || status=1
done
where="$(. /etc/os-release && echo "$PRETTY_NAME"), $(/usr/lib/wine/wine64 --version 2>/dev/null || echo "no 64-bit Wine")"
emulated=${RADIOSWITCH_I386_EMULATOR:+, 32-bit programs under $RADIOSWITCH_I386_EMULATOR}
if [ "$status" -ne 0 ]; then
    echo "Tests FAILED on $where (presets: $*)."
elif ! cmake/no-32bit-programs.sh /usr/lib/wine/wine; then
    echo "All tests passed on $where$emulated (presets: $*)."
else
    if [ -e /usr/lib/wine/wine ]; then
        why="this kernel refuses 32-bit code" root="which brings an emulator for them"
    else
        why="this machine has no 32-bit Wine" root="that has it"
    fi
    echo "Tests passed on $where (presets: $*): the 64-bit test programs and the image checks of both bitnesses."
    echo "NOT RUN here: the 32-bit test programs and the 64-bit cases with a 32-bit peer: $why."
    echo "Run them in a Debian 13 root $root: scripts/debian-root.sh scripts/run-tests.sh"
fi
exit "$status"
