#!/bin/sh
# The trace format file decodes the library's events as their debug texts read.
# Usage: check_tmf.sh TMF
set -eu
tmf=$1
status=0
expect() {
    grep -qxF -- "$1" "$tmf" || { echo "missing: $1"; status=1; }
}
expect 'fa39bbd6-335a-1019-b23b-cfb8fb0ba24b radioswitch // SRC=radioswitch'
expect '#typev radioswitch_18 18 "%0QueryBtRadioKeyValue: Current BT RADIO STATE = %10!d! " //   LEVEL=0 FLAGS=1 FUNC=QueryBtRadioKeyValue'
expect '#typev radioswitch_38 38 "%0EnableDisableUSBBtDevice: RpcStringBindingCompose PASSED !!!" //   LEVEL=0 FLAGS=1 FUNC=EnableDisableUSBBtDevice'
expect '#typev radioswitch_33 33 "%0RadioDllInit FAILED" //   LEVEL=0 FLAGS=1 FUNC=RadioDllInit'
expect '#typev radioswitch_89 89 "%0BluetoothEnableRadio; BluetoothEnableRadio << == " //   LEVEL=0 FLAGS=1 FUNC=BluetoothEnableRadio'
# Exactly the four events that carry a value declare one argument.
[ "$(grep -c '^Value, ItemLong -- 10$' "$tmf")" = 4 ] || { echo "expected 4 value arguments"; status=1; }
for number in 10 11 12 13 14 15 16 17 18 19 20 32 33 34 35 36 37 38 39 40 41 42 43 44 45 46 47 48 49 50 51 52 53 54 55 56 67 68 69 70 89; do
    grep -q "^#typev radioswitch_$number $number " "$tmf" || { echo "event $number has no description"; status=1; }
done
[ "$(grep -c '^#typev ' "$tmf")" = 41 ] || { echo "expected 41 descriptions"; status=1; }
exit $status
