#!/bin/sh
# The whole test suite on a fresh Debian 12 or 13 machine: installs what is missing,
# builds both bitnesses and runs every test program under Wine.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh
exec scripts/run-tests.sh
