#!/bin/sh
# Runs the built test programs under this machine's Wine (every architecture, or the presets
# given) and says in words what ran where. It passes only where tests ran and passed: a
# preset whose tests were all skipped fails, and so does a run in which no 32-bit test
# program could run, except where the kernel refuses 32-bit code: then it says so.
# The arm64 preset's Wine tests run where Wine runs ARM64 programs (the arm64 Debian 13
# root: scripts/debian-root.sh --arch arm64); elsewhere its other checks run, and the run
# says where the rest runs.
# Usage: run-tests.sh [PRESET...]
set -u
cd "$(dirname "$0")/.."
[ $# -gt 0 ] || set -- x64 x86 arm64
machine=$(uname -m)
where="$(. /etc/os-release && echo "$PRETTY_NAME"), $(/usr/lib/wine/wine64 --version 2>/dev/null || echo "no 64-bit Wine")"
[ "$machine" != aarch64 ] || where="$where, arm64${RADIOSWITCH_ARM64_EMULATOR:+ under $RADIOSWITCH_ARM64_EMULATOR}"
# Decided once for the whole run: every test program it starts is told the same answer.
# Only the x64 and x86 presets ask (cross-bitness cases, 32-bit programs).
answer=""
case " $* " in
*" x64 "* | *" x86 "*)
    RADIOSWITCH_32BIT_PROGRAMS=$(cmake/runs-32bit.sh)
    [ $? -le 1 ] || { echo "Tests FAILED on $where: $RADIOSWITCH_32BIT_PROGRAMS"; exit 1; }
    export RADIOSWITCH_32BIT_PROGRAMS
    answer=$RADIOSWITCH_32BIT_PROGRAMS ;;
esac
status=0 summary="" arm64_elsewhere=no
for preset in "$@"; do
    echo "== tests: $preset"
    junit=$PWD/build/$preset/tests.junit.xml
    rm -f "$junit"
    # The arm64 Wine tests need an arm64 Wine; the checks of the images need the host's tools.
    labels="" what=""
    if [ "$preset" = arm64 ]; then
        if [ "$machine" = aarch64 ]; then
            # Wine's ARM64 build hands a request string to the server as a pointer's bytes:
            # the programs that send requests are named as not run, never passed.
            labels="-L wine -LE requests" what=" (the Wine tests but those sending requests)"
            unsent=$(ctest --preset arm64 -N -L requests -FA '.*' | sed -n 's/^ *Test *#[0-9]*: //p' | tr '\n' ' ')
        else
            labels="-LE wine" what=" (the checks outside Wine)" arm64_elsewhere=yes
        fi
    fi
    # shellcheck disable=SC2086
    ctest --preset "$preset" $labels --output-junit "$junit" || status=1
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
    summary="$summary  $preset: $line$what\n"
done
emulated=${RADIOSWITCH_I386_EMULATOR:+, 32-bit programs under $RADIOSWITCH_I386_EMULATOR}
printf '\n== What ran on %s%s\n%b' "$where" "$emulated" "$summary"
# What did not run here, with the command that runs it elsewhere.
elsewhere() {
    [ -z "${unsent:-}" ] || echo "NOT RUN here: the arm64 test programs that send requests across RPC (${unsent% }): under Wine's ARM64 build a request string reaches the server as the bytes of a pointer (README, ARM64)."
    [ "$arm64_elsewhere" = no ] && return
    echo "NOT RUN here: the arm64 test programs under Wine (this $machine machine has no arm64 Wine)."
    echo "Run them in the arm64 Debian 13 root, which brings an emulator for them: scripts/debian-root.sh --arch arm64 scripts/run-tests.sh arm64"
}
case $status:$answer in
1:*) echo "Tests FAILED on $where (presets: $*)." ;;
0:yes | 0:)
    if [ "$arm64_elsewhere" = no ] && [ -z "${unsent:-}" ]; then
        echo "All tests passed on $where$emulated (presets: $*)."
    elif [ "$arm64_elsewhere" = no ]; then
        echo "Tests passed on $where$emulated (presets: $*): all that ran."
        elsewhere
    else
        echo "Tests passed on $where$emulated (presets: $*): all but the arm64 test programs under Wine."
        elsewhere
    fi ;;
*"kernel refuses"*)
    echo "Tests passed on $where (presets: $*): the 64-bit test programs and the image checks of every architecture."
    echo "NOT RUN here: the 32-bit test programs and the cross-bitness cases (${RADIOSWITCH_32BIT_PROGRAMS#no: })."
    echo "Run them in a Debian 13 root, which brings an emulator for them: scripts/debian-root.sh scripts/run-tests.sh"
    elsewhere ;;
*)
    echo "Tests FAILED on $where (presets: $*): the 32-bit test programs could not run (${RADIOSWITCH_32BIT_PROGRAMS#no: })."
    status=1 ;;
esac
exit "$status"
