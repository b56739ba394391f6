#!/bin/sh
# The whole test suite on a fresh Debian 12 machine: installs what is missing, builds
# both bitnesses and runs every test program under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
status=0
for preset in x64 x86; do
    echo "== tests: $preset"
    ctest --preset "$preset" || status=1
done
[ "$status" -eq 0 ] && echo "All tests passed on both bitnesses." || echo "Tests FAILED."
exit "$status"
