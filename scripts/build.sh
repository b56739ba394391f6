#!/bin/sh
# Configures and builds the presets given (default: every architecture, x64, x86 and
# arm64), deliverables and tests. The arm64 preset's first configure makes its sysroot
# (scripts/arm64-sysroot.sh).
# Usage: build.sh [PRESET...]
set -eu
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- x64 x86 arm64
for preset in "$@"; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
