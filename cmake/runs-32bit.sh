#!/bin/sh
# The one answer to "does this machine run 32-bit x86 programs under Wine?", from the
# kernel's own answer to Wine's 32-bit loader. Prints "yes" (exit 0), or "no: WHY"
# (exit 1) where the loader is absent or the kernel refuses 32-bit code ("Exec format
# error"). Any other failure of the loader is a broken install: it prints what the loader
# said and exits 2, which callers count as a failure, never as "no".
# A run decides once (scripts/run-tests.sh, scripts/debian-root.sh) and passes the answer
# on in RADIOSWITCH_32BIT_PROGRAMS to everything it starts.
# Usage: runs-32bit.sh [LOADER32]
loader=${1:-/usr/lib/wine/wine}
case ${RADIOSWITCH_32BIT_PROGRAMS:-} in
yes) echo yes; exit 0 ;;
no:*) echo "$RADIOSWITCH_32BIT_PROGRAMS"; exit 1 ;;
esac
[ -e "$loader" ] || { echo "no: Wine's 32-bit loader ($loader) is not installed"; exit 1; }
# bash tells a refused image apart from any other failure of exec (dash would run it as a script).
said=$(LC_ALL=C bash -c 'exec "$0" --version' "$loader" 2>&1)
status=$?
[ "$status" -eq 0 ] && { echo yes; exit 0; }
case $status:$said in
126:*"Exec format error"*) echo "no: this kernel refuses 32-bit x86 code (Exec format error)"; exit 1 ;;
esac
echo "broken: Wine's 32-bit loader $loader fails (exit $status): $said"
exit 2
