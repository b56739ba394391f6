#!/bin/sh
# The whole test suite on a fresh Debian 12 or 13 machine: installs what is missing,
# builds every architecture (or the presets given) and runs every test program under Wine,
# saying what ran where and what runs elsewhere.
# Usage: test.sh [PRESET...]
set -eu
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- x64 x86 arm64
scripts/setup.sh
scripts/build.sh "$@"
exec scripts/run-tests.sh "$@"
