#!/bin/sh
# The main job on a fresh Debian 12 or 13 machine: installs what is missing, builds every
# deliverable for both bitnesses, then runs the whole system under Wine with a
# simulated radio behind the service: the service installs and starts itself, radioctl
# doctor reports every link of the switch, radioctl drives the real library through
# status, off, status, on, status, and the service stops and removes itself again.
set -eu
cd "$(dirname "$0")/.."
# Whatever ends the job (a failed step, INT, TERM) ends its Wine session too, and says why.
doing="setting up"
outcome=failed
finish() {
    [ -z "${session:-}" ] || { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; } || true
    [ -n "${why:-}" ] || why="$doing did not complete"
    [ "$outcome" = passed ] || printf '\nMAIN JOB FAILED: %s\n' "$why"
}
trap finish EXIT
trap 'why="stopped (INT) while $doing"; exit 130' INT
trap 'why="stopped (TERM) while $doing"; exit 143' TERM
scripts/setup.sh
doing="building"
scripts/build.sh x64 x86

bin=$PWD/build/x64/bin
service=$bin/radioswitchsvcsim64.exe
radioctl=$bin/radioctl64.exe
service_name="Zentrik Bluetooth Radio Control Service"
radio_key='HKLM\SYSTEM\CurrentControlSet\services\BTHPORT\Parameters\Radio Support'

export WINEPREFIX="$PWD/build/main-job/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
session=ours
# Every program here is 64-bit: Debian's `wine` picks the 32-bit loader whenever it is
# installed, which some kernels cannot run, so the 64-bit loader is called directly.
wine() { /usr/lib/wine/wine64 "$@"; }
step() { doing=$*; printf '\n== %s\n' "$*"; }
fail() { why=$*; exit 1; }
wine_quiet() { wine "$@" 2>/dev/null | tr -d '\r'; }

# The radio state as the library would read it: the REG_DWORD, or "absent".
radio_state() {
    value=$(wine_quiet reg query "$radio_key" /v ZentRadioState | awk '$1 == "ZentRadioState" { print $3 }')
    if [ -n "$value" ]; then printf '%d' "$value"; else echo absent; fi
}

# One radioctl call with the library's debug output, checked against the exit code and
# the radio state it should leave.
run_radioctl() {
    expected_exit=$1 expected_state=$2
    shift 2
    step "radioctl $*"
    set +e
    output=$(wine "$radioctl" --debug-output "$@" 2>&1)
    actual=$?
    set -e
    printf '%s\n' "$output" | tr -d '\r' | sed 's/^/  /'
    state=$(radio_state)
    echo "  -> exit code $actual, ZentRadioState = $state"
    [ "$actual" -eq "$expected_exit" ] || fail "radioctl $* exited with $actual, expected $expected_exit"
    [ "$state" = "$expected_state" ] || fail "ZentRadioState is $state after radioctl $*, expected $expected_state"
}

service_state() { wine_quiet sc query "$service_name" | awk '$1 == "STATE" { print $4 }'; }

step "Deliverables"
for file in build/x64/bin/radioswitch64.dll build/x64/bin/radioswitchsvc64.exe build/x86/bin/radioswitch.dll \
            build/x86/bin/radioswitchsvc.exe; do
    echo "  $file ($(stat -c %s "$file") bytes)"
done

step "Fresh Wine prefix $WINEPREFIX"
wineserver -k 2>/dev/null || true
rm -rf "$WINEPREFIX"
mkdir -p "$WINEPREFIX"
wine wineboot -i >/dev/null 2>&1
# The session that created the prefix can't start a newly created service (Wine 8):
# let it end, then keep one session for the whole run, since the service lives only as
# long as its session.
wineserver -w
wineserver -p

step "The platform's Radio Support key, on a machine where the radio's state was never published"
wine_quiet reg add "$radio_key" /f >/dev/null
echo "  ZentRadioState = $(radio_state)"
[ "$(radio_state)" = absent ] || fail "ZentRadioState exists before the service ever ran"

step "radioswitchsvcsim64 install: the service's own command, with the simulated radio behind its seam"
wine "$service" install
state=$(service_state)
echo "  \"$service_name\": ${state:-not installed}"
[ "$state" = RUNNING ] || { wine_quiet sc query "$service_name"; fail "the service is not running after install"; }
# Running is reported first; the service then publishes what the running radio shows.
for _ in 1 2 3 4 5 6 7 8 9 10; do [ "$(radio_state)" = absent ] || break; sleep 0.5; done
echo "  ZentRadioState = $(radio_state), published by the service at its start"
[ "$(radio_state)" = 1 ] || fail "the service did not publish the running radio's state"

step "radioctl64 doctor: every link of the switch, read-only"
set +e
report=$(wine "$radioctl" doctor 2>&1)
doctor_exit=$?
set -e
report=$(printf '%s\n' "$report" | tr -d '\r')
printf '%s\n' "$report" | sed 's/^/  /'
echo "  -> exit code $doctor_exit"
[ "$doctor_exit" -eq 1 ] || fail "radioctl doctor exited with $doctor_exit, expected 1 (a link broken)"
# The simulated radio lives inside the service: Wine's device tree holds no node of the
# radio and no port interface, so these two links, and only these, are broken here.
broken=$(printf '%s\n' "$report" | sed -n 's/^broken: //p')
[ "$broken" = "device-nodes, port-interface" ] ||
    fail "radioctl doctor: broken links \"${broken:-none}\", expected \"device-nodes, port-interface\""

run_radioctl 0 1 status
run_radioctl 0 0 off
run_radioctl 0 0 status
run_radioctl 0 1 on
run_radioctl 0 1 status

step "radioswitchsvcsim64 stop, then remove"
wine "$service" stop
echo "  after stop: $(service_state)"
[ "$(service_state)" = STOPPED ] || fail "the service did not stop"
wine "$service" remove
[ -z "$(service_state)" ] || fail "the service is still registered after remove"
echo "  removed"

outcome=passed
printf '\nMAIN JOB PASSED: the simulated radio was switched off and on again through the service, the pipe and the registry.\n'
