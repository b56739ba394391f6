#!/bin/sh
# Exits 0 when this machine's kernel runs no 32-bit x86 programs at all (built without
# IA-32 emulation, or with it turned off): Wine's 32-bit loader is installed but cannot
# be executed. Exits 1 otherwise, so that a missing loader still fails its tests.
# Usage: no-32bit-programs.sh LOADER32
[ -x "$1" ] || exit 1
"$1" --version >/dev/null 2>&1
[ $? -eq 126 ]
