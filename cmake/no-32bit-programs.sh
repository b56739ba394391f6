#!/bin/sh
# Exits 0 when this machine cannot run 32-bit programs under Wine: its kernel runs no
# 32-bit x86 code (built without IA-32 emulation, or with it turned off: the loader is
# installed but cannot be executed), or Wine's 32-bit loader could not be installed
# (scripts/setup.sh goes on without it when the mirror cannot provide it). Exits 1
# otherwise. Either way the 32-bit tests are reported as not run, never as passed.
# Usage: no-32bit-programs.sh LOADER32
[ -e "$1" ] || exit 0
"$1" --version >/dev/null 2>&1
[ $? -eq 126 ]
