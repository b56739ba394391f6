#!/bin/sh
# The whole test suite on a fresh Debian 12 machine: installs what is missing, builds
# both bitnesses and runs every test program under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
# Some sandboxes run no 32-bit programs at all: say why the 32-bit tests fail there.
/usr/lib/wine/wine --version >/dev/null 2>&1 ||
    echo "warning: this machine cannot run the 32-bit Wine loader; the 32-bit tests and those across bitnesses fail here"
status=0
for preset in x64 x86; do
    echo "== tests: $preset"
    ctest --preset "$preset" || status=1
done
[ "$status" -eq 0 ] && echo "All tests passed on both bitnesses." || echo "Tests FAILED."
exit "$status"
