#!/bin/sh
# Configures and builds both bitnesses (deliverables and tests) with the CMake presets.
set -eu
cd "$(dirname "$0")/.."
for preset in x64 x86; do
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset"
done
