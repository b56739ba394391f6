#!/bin/sh
# Exits 0 when this machine cannot run 32-bit programs under Wine: Wine's 32-bit loader is
# not installed (scripts/setup.sh goes on without it when the mirror cannot provide it) or
# does not run: a kernel without IA-32 emulation refuses it ("Exec format error"), and
# outside a Debian root that registered its emulator for them, the emulator is missing.
# Exits 1 otherwise. Either way the 32-bit tests are reported as not run, never as passed.
# Usage: no-32bit-programs.sh LOADER32
[ -e "$1" ] || exit 0
! "$1" --version >/dev/null 2>&1
