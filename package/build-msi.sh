#!/bin/sh
# Builds the Windows Installer package of one bitness from the built files.
# Usage: build-msi.sh x64|x86 VERSION OUTPUT.msi FILE...
#   FILEs: the shipped images, the .tmf, INSTALL.md, THIRD_PARTY_NOTICES and
#   service_wait.exe. The same inputs give the same bytes: the product code follows from
#   the version and the bitness, the package code from the version and every input's
#   content, and the clock is frozen at SOURCE_DATE_EPOCH (wixl reads neither; it takes
#   the clock and a random generator).
set -eu
arch=$1 version=$2
output=$(realpath "$3")
shift 3
here=$(cd "$(dirname "$0")" && pwd)
: "${SOURCE_DATE_EPOCH:?set SOURCE_DATE_EPOCH}"
export TZ=UTC LC_ALL=C

case $arch in
x64) upgrade_code=7C1F5D0E-2B6A-4E38-9A47-3D8E1C5B9F60 template="x64;1033" system=System64Folder ;;
x86) upgrade_code=7C1F5D0E-2B6A-4E38-9A47-3D8E1C5B9F61 template="Intel;1033" system=SystemFolder ;;
*) echo "build-msi.sh: unknown bitness $arch" >&2; exit 2 ;;
esac
# A name-based UUID (version 5 layout) from the SHA-256 of a text.
uuid_of() {
    printf '%s' "$1" | sha256sum | sed -E 's/^(.{8})(.{4}).(.{3}).(.{3})(.{12}).*/\1-\2-5\3-8\4-\5/' | tr a-f A-F
}

stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT
cp "$@" "$stage"/
# The cabinet records each file's modification time.
find "$stage" -type f -exec touch -d "@$SOURCE_DATE_EPOCH" {} +
content=$(cd "$stage" && sha256sum * "$here/radioswitch.wxs" | sed 's| .*/| |')
product_code=$(uuid_of "radioswitch product $arch $version")
package_code=$(uuid_of "radioswitch package $arch $version $content")

service="Zentrik Bluetooth Radio Control Service"
# SystemFolder is the 32-bit one on 64-bit Windows, also for a 64-bit package.
sc="\"[$system]sc.exe\""
description="Switches the Zentrik USB Bluetooth radio on and off at the request of the radio support library."
frozen=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
cp "$here/radioswitch.wxs" "$stage/"
cd "$stage"
faketime "$frozen" wixl -a "$arch" -D Arch="$arch" -D Version="$version" -D ProductCode="$product_code" \
    -D UpgradeCode="$upgrade_code" -o package.msi radioswitch.wxs
sql() { faketime "$frozen" msibuild package.msi -q "$1"; }
# action NAME TYPE SOURCE TARGET SEQUENCE CONDITION. Types add up: 2 a program from the
# Binary table, 18 the installed file SOURCE, 34 a program in the folder SOURCE; +64 its
# exit code ignored; +1024 deferred, +256 more for rollback only; +2048 as local system.
# Explicit sequence numbers: placed relative to other actions, wixl's land differently
# from run to run.
action() {
    sql "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('$1', $2, '$3', '$4')"
    sql "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('$1', '$6', $5)"
}
installing='NOT REMOVE~="ALL"' removing='REMOVE~="ALL"'
# Uninstall: stop (a switch in progress holds the stop up to 120 s, longer than the
# command waits), remove, and wait until the service is gone before the files go.
# Rolled back, the program's install registers and starts it again.
action RollbackServiceReinstall 3410 ServiceFile install 1601 "$removing"
action ServiceStop 3154 ServiceFile stop 1602 "$removing"
action ServiceRemove 3154 ServiceFile remove 1603 "$removing"
action ServiceGone 3138 ServiceWait "gone \"$service\" 130" 1604 "$removing"
# Install: the program's own command registers and starts the service (and prepares the
# radio when it creates it). It exits 0 whatever happened, so the package itself insists
# on seeing the service run, and fails (1603) and rolls back otherwise. Rollback stops and
# removes only a service this package registered.
action RollbackServiceRemove 3410 ServiceFile remove 6101 "$installing AND NOT SERVICEFOUND"
action RollbackServiceStop 3410 ServiceFile stop 6102 "$installing AND NOT SERVICEFOUND"
action ServiceInstall 3090 ServiceFile install 6103 "$installing"
action ServiceRunning 3074 ServiceWait "running \"$service\" 60" 6104 "$installing"
# Set only once the service runs: a registration the package found and could not start is left as it was.
action ServiceDescribe 3170 $system "$sc description \"$service\" \"$description\"" 6105 "$installing"
# Restart after each failure, a minute later; the failure count resets after a day.
action ServiceRecovery 3170 $system \
    "$sc failure \"$service\" reset= 86400 actions= restart/60000/restart/60000/restart/60000" 6106 "$installing"
# The same version again repairs: a maintenance run of the package without a request of
# its own reinstalls (missing files back, the service registered and started again).
sql "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('RepairWhenRunAgain', 51, 'REINSTALL', 'ALL')"
sql "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('RepairWhenRunAgain', 'Installed AND NOT REMOVE AND NOT REINSTALL', 790)"
# The old product goes inside this transaction, so that a failed upgrade restores it.
sql "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1501 WHERE \`Action\` = 'RemoveExistingProducts'"
# The event source: "#%" makes the message file REG_EXPAND_SZ, as the event log expects;
# the row named "-" removes the whole key on uninstall.
sql "UPDATE \`Registry\` SET \`Value\` = '#%[#ServiceFile]' WHERE \`Name\` = 'EventMessageFile'"
sql "INSERT INTO \`Registry\` (\`Registry\`, \`Root\`, \`Key\`, \`Name\`, \`Component_\`) VALUES ('EventSourceKey', 2, 'SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\$service', '-', 'ServiceComponent')"
# The maker's folder goes on uninstall too, when nothing else is left in it (wixl's
# sequence has neither folder action).
sql "INSERT INTO \`CreateFolder\` (\`Directory_\`, \`Component_\`) VALUES ('ZentrikFolder', 'ServiceComponent')"
sql "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('RemoveFolders', 3600)"
sql "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Sequence\`) VALUES ('CreateFolders', 3700)"
faketime "$frozen" msibuild package.msi -s "radioswitch ($arch) $version" Zentrik "$template" "{$package_code}"
mv package.msi "$output"
