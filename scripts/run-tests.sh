#!/bin/sh
# Runs the built test programs under this machine's Wine (both bitnesses, or the presets
# given) and says in words what ran where. It passes only where tests ran and passed: a
# preset whose tests were all skipped fails, and so does a run in which no 32-bit test
# program could run, except where the kernel refuses 32-bit code: then it says so.
# Usage: run-tests.sh [PRESET...]
set -u
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- x64 x86
where="$(. /etc/os-release && echo "$PRETTY_NAME"), $(/usr/lib/wine/wine64 --version 2>/dev/null || echo "no 64-bit Wine")"
# Decided once for the whole run: every test program it starts is told the same answer.
RADIOSWITCH_32BIT_PROGRAMS=$(cmake/runs-32bit.sh)
[ $? -le 1 ] || { echo "Tests FAILED on $where: $RADIOSWITCH_32BIT_PROGRAMS"; exit 1; }
export RADIOSWITCH_32BIT_PROGRAMS
status=0 summary=""
for preset in "$@"; do
    echo "== tests: $preset"
    junit=$PWD/build/$preset/tests.junit.xml
    rm -f "$junit"
    ctest --preset "$preset" --output-junit "$junit" || status=1
    # The suite's counts, from its opening tag's attributes (one per line or all on one).
    count() { sed -n '/<testsuite/,/>/p' "$junit" 2>/dev/null | sed -n "s/.*[[:space:]]$1=\"\([0-9]*\)\".*/\1/p" | head -n 1; }
    total=$(count tests) failed=$(count failures) skipped=$(count skipped)
    if [ -z "$total" ]; then
        line="no test results (ctest wrote no $junit)"
        status=1
    else
        ran=$((total - skipped)) passed=$((total - skipped - failed))
        line="$ran ran, $passed passed"
        [ "$failed" -eq 0 ] || line="$line, $failed FAILED"
        if [ "$skipped" -gt 0 ]; then
            names=$(sed -n 's/.*<testcase name="\([^"]*\)".* status="notrun".*/\1/p' "$junit" | tr '\n' ' ')
            line="$line, $skipped skipped (${names% })"
        fi
        [ "$ran" -gt 0 ] || { line="$line: nothing ran"; status=1; }
    fi
    summary="$summary  $preset: $line\n"
done
emulated=${RADIOSWITCH_I386_EMULATOR:+, 32-bit programs under $RADIOSWITCH_I386_EMULATOR}
printf '\n== What ran on %s%s\n%b' "$where" "$emulated" "$summary"
case $status:$RADIOSWITCH_32BIT_PROGRAMS in
1:*) echo "Tests FAILED on $where (presets: $*)." ;;
0:yes) echo "All tests passed on $where$emulated (presets: $*)." ;;
*"kernel refuses"*)
    echo "Tests passed on $where (presets: $*): the 64-bit test programs and the image checks of both bitnesses."
    echo "NOT RUN here: the 32-bit test programs and the cross-bitness cases (${RADIOSWITCH_32BIT_PROGRAMS#no: })."
    echo "Run them in a Debian 13 root, which brings an emulator for them: scripts/debian-root.sh scripts/run-tests.sh" ;;
*)
    echo "Tests FAILED on $where (presets: $*): the 32-bit test programs could not run (${RADIOSWITCH_32BIT_PROGRAMS#no: })."
    status=1 ;;
esac
exit "$status"
