#!/bin/sh
# Builds the Windows Installer package of one architecture from the built files.
# Usage: build-msi.sh x64|x86|arm64 VERSION[-LABEL] OUTPUT.msi FILE...
#   FILEs: the shipped images, the .tmf, INSTALL.md, THIRD_PARTY_NOTICES and
#   service_wait.exe. A LABEL (a build that is not the release: "dirty", "unsigned") goes
#   into the product's name. The same inputs give the same bytes: the product code and the
#   package code follow from the architecture, the version with its label and the content of
#   every input, of this script and the package source, and the tools' versions, so a build
#   of other content is another product that the release upgrades; the clock is frozen at
#   SOURCE_DATE_EPOCH (wixl reads neither; it takes the clock and a random generator).
set -eu
arch=$1 version=$2
output=$(realpath "$3")
shift 3
here=$(cd "$(dirname "$0")" && pwd)
: "${SOURCE_DATE_EPOCH:?set SOURCE_DATE_EPOCH}"
export TZ=UTC LC_ALL=C
product_version=${version%%-*}
label=${version#"$product_version"}

upgrade_x64=7C1F5D0E-2B6A-4E38-9A47-3D8E1C5B9F60
upgrade_x86=7C1F5D0E-2B6A-4E38-9A47-3D8E1C5B9F61
upgrade_arm64=7C1F5D0E-2B6A-4E38-9A47-3D8E1C5B9F62
# Per architecture: its product line, the products it refuses to sit beside, the platform
# Windows Installer checks, the file names' suffix (the only place the package names it)
# and wixl's architecture. wixl (0.101 to 0.106) knows no ARM64: the ARM64 package is
# built as a 64-bit one (64-bit components, folders and registry view) and then marked
# Arm64, which needs schema 500, the package's InstallerVersion.
case $arch in
x64) upgrade_code=$upgrade_x64 other_codes=$upgrade_x86 others=x86 template="x64;1033" system=System64Folder
    suffix=64 wixl_arch=x64 ;;
x86) upgrade_code=$upgrade_x86 other_codes=$upgrade_x64 others=x64 template="Intel;1033" system=SystemFolder
    suffix="" wixl_arch=x86 ;;
arm64) upgrade_code=$upgrade_arm64 other_codes="$upgrade_x64 $upgrade_x86" others="x64 or x86" template="Arm64;1033"
    system=System64Folder suffix=arm64 wixl_arch=x64 ;;
*) echo "build-msi.sh: unknown architecture $arch" >&2; exit 2 ;;
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
# Everything that shapes the package: the files, the package source, this script, the tools.
content=$(cd "$stage" && sha256sum * "$here/radioswitch.wxs" "$here/build-msi.sh" | sed 's| .*/| |'
    wixl --version; dpkg-query -W -f '${Version}' msitools 2>/dev/null)
product_code=$(uuid_of "radioswitch product $arch $version $content")
package_code=$(uuid_of "radioswitch package $arch $version $content")
product_name="radioswitch ($arch${label:+, ${label#-}})"
build=${label#-}
build=${build:-release}
# The file version of a PE image (VS_FIXEDFILEINFO after its signature), or nothing.
file_version() {
    offset=$(grep -obUaP '\xbd\x04\xef\xfe' "$1" | head -1 | cut -d: -f1)
    [ -n "$offset" ] || return 0
    od -An -tu2 --endian=little -j $((offset + 8)) -N 8 "$1" | awk '{ print $2 "." $1 "." $4 "." $3 }'
}

service="Zentrik Bluetooth Radio Control Service"
# SystemFolder is the 32-bit one on 64-bit Windows, also for a 64-bit package.
sc="\"[$system]sc.exe\""
description="Switches the Zentrik USB Bluetooth radio on and off at the request of the radio support library."
frozen=$(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%d %H:%M:%S')
cp "$here/radioswitch.wxs" "$stage/"
cd "$stage"
faketime "$frozen" wixl -a "$wixl_arch" -D Arch="$arch" -D Suffix="$suffix" -D Version="$product_version" -D ProductName="$product_name" -D ProductCode="$product_code" -D Build="$build" \
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
# Conditions on the service component's action state: 3 installed (also a repair), 2
# removed (also REMOVE=Complete given to /i). In a major upgrade the old product's removal
# only stops the service: the registration stays, the new files go in, the new package
# starts it.
installing='$ServiceComponent=3' removing='$ServiceComponent=2'
# Removal: stop (a switch in progress holds the stop up to 120 s, longer than the command
# waits), then, unless an upgrade removes the product, remove, and fail (before the files
# go) unless the service is gone: a handle held elsewhere leaves it marked for deletion.
# Rolled back, the program's install registers it (if need be) and starts it again; a
# service marked for deletion cannot start, and goes once the other handle is closed.
action RollbackServiceReinstall 3410 ServiceFile install 1601 "$removing"
action ServiceStop 3154 ServiceFile stop 1602 "$removing"
action ServiceStopped 3074 ServiceWait "stopped \"$service\" 130" 1603 "$removing"
action ServiceRemove 3154 ServiceFile remove 1604 "$removing AND NOT UPGRADINGPRODUCTCODE"
action ServiceGone 3074 ServiceWait "gone \"$service\" 30" 1605 "$removing AND NOT UPGRADINGPRODUCTCODE"
# Install: the program's own command registers and starts the service (and prepares the
# radio when it creates it). It exits 0 whatever happened, so the package itself insists
# on seeing the service run, and fails (1603) and rolls back otherwise. Rollback removes
# only a service this package registered, and stops it also when an upgrade found it (the
# old product's rollback starts it again from its own files).
action RollbackServiceRemove 3410 ServiceFile remove 6101 "$installing AND NOT SERVICEFOUND"
action RollbackServiceStop 3410 ServiceFile stop 6102 \
    "$installing AND (NOT SERVICEFOUND OR (WIX_UPGRADE_DETECTED AND NOT Installed))"
# The program's install keeps a registration's path: one that names the installed product's
# image (an upgrade keeps it) is pointed at this product's, wherever INSTALLFOLDER now is.
# Any other registration stays as it was.
old_image="[REMEMBEREDINSTALLDIR]radioswitchsvc$suffix.exe"
action RollbackServiceImage 3394 ServiceWait "image \"$service\" \"[#ServiceFile]\" \"$old_image\"" 6103 \
    "$installing AND REMEMBEREDINSTALLDIR"
action ServiceImage 3074 ServiceWait "image \"$service\" \"$old_image\" \"[#ServiceFile]\"" 6104 \
    "$installing AND REMEMBEREDINSTALLDIR"
action ServiceInstall 3090 ServiceFile install 6105 "$installing"
# A service an administrator disabled stays disabled and stopped through a repair or an
# upgrade of the product; found disabled by a first install, it fails that install (1058).
action ServiceRunning 3074 ServiceWait "running \"$service\" 60" 6106 \
    "$installing AND NOT (SERVICESTART = \"#4\" AND (Installed OR WIX_UPGRADE_DETECTED))"
# Set only once the service runs (or stays disabled): a registration a first install found
# and could not start is left as it was.
action ServiceDescribe 3170 $system "$sc description \"$service\" \"$description\"" 6107 "$installing"
# Recovery: restart a minute after each failure, the count reset after a day, also after
# a start that fails with an exit code (the failure-actions flag, off by default).
# sc.exe, as Windows Installer's documentation advises: MsiServiceConfigFailureActions
# takes effect only at the next restart and does not work as expected. A transform
# changes these rows; exit codes ignored: a running service is not rolled back for them.
action ServiceRecovery 3170 $system \
    "$sc failure \"$service\" reset= 86400 actions= restart/60000/restart/60000/restart/60000" 6108 "$installing"
action ServiceRecoverFailedStarts 3170 $system "$sc failureflag \"$service\" 1" 6109 "$installing"
# The same version again repairs: a maintenance run of the package without a request of
# its own reinstalls (missing files back, the service registered and started again).
sql "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('RepairWhenRunAgain', 51, 'REINSTALL', 'ALL')"
sql "INSERT INTO \`InstallExecuteSequence\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('RepairWhenRunAgain', 'Installed AND NOT REMOVE AND NOT REINSTALL', 790)"
# The old product goes inside this transaction, so that a failed upgrade restores it, and
# before any file goes in, so that its removal stops the service before its image is
# replaced. Every later version's package runs it here: an old product removed after the
# new files would take the shared components' files and the kept registration with it. A
# product of the same version and another product code (a build of other content, such as
# an unsigned or dirty one) is replaced too, but for the release by a build that is not.
sql "UPDATE \`InstallExecuteSequence\` SET \`Sequence\` = 1501 WHERE \`Action\` = 'RemoveExistingProducts'"
# Attributes 513: features migrated, the maximum version included (a key column: the row
# is written again).
sql "DELETE FROM \`Upgrade\` WHERE \`ActionProperty\` = 'WIX_UPGRADE_DETECTED'"
sql "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMax\`, \`Attributes\`, \`ActionProperty\`) VALUES ('{$upgrade_code}', '$product_version', 513, 'WIX_UPGRADE_DETECTED')"
# One architecture at a time: any two would share one service and one event source.
# Attributes 258: detect only, from version 0.0.0 on. Uninstall and repair stay possible.
for code in $other_codes; do
    sql "INSERT INTO \`Upgrade\` (\`UpgradeCode\`, \`VersionMin\`, \`Attributes\`, \`ActionProperty\`) VALUES ('{$code}', '0.0.0', 258, 'OTHERBITNESSFOUND')"
done
sql "INSERT INTO \`LaunchCondition\` (\`Condition\`, \`Description\`) VALUES ('Installed OR NOT OTHERBITNESSFOUND', 'The $others radioswitch is installed. Remove it before installing the $arch one.')"
# The platform's radio management is a process of the machine's own architecture, which
# loads only a library of that architecture. On Windows on Arm the x64 package would
# install under emulation, and the x86 package sees no VersionNT64 there without x64
# emulation: both read the machine's architecture instead. The 32-bit package refuses
# 64-bit Windows, where its service cannot switch the radio either.
if [ "$arch" = arm64 ]; then
    sql "INSERT INTO \`LaunchCondition\` (\`Condition\`, \`Description\`) VALUES ('Installed OR NATIVEARCHITECTURE ~= \"ARM64\"', 'This package is for Windows on Arm (ARM64): install the x64 package on x64 Windows, the x86 package on 32-bit Windows.')"
else
    sql "INSERT INTO \`LaunchCondition\` (\`Condition\`, \`Description\`) VALUES ('Installed OR NOT (NATIVEARCHITECTURE ~= \"ARM64\")', 'On Windows on Arm (ARM64) install the arm64 package: there the platform radio management is an ARM64 process, which cannot load the $arch library.')"
fi
[ "$arch" != x86 ] || sql "INSERT INTO \`LaunchCondition\` (\`Condition\`, \`Description\`) VALUES ('Installed OR NOT VersionNT64 OR NATIVEARCHITECTURE ~= \"ARM64\"', 'This package is for 32-bit Windows: on 64-bit Windows install the x64 package.')"
# The release replaces any other build of its version; no other build replaces the release.
[ "$build" = release ] || sql "INSERT INTO \`LaunchCondition\` (\`Condition\`, \`Description\`) VALUES ('Installed OR NOT (INSTALLEDBUILD = \"release\" AND INSTALLEDVERSION = \"$product_version\")', 'The release of radioswitch $product_version is installed, which this $build build does not replace. Remove it first to install this build.')"
sql "UPDATE \`Property\` SET \`Value\` = 'INSTALLFOLDER;LIBRARYDIR;OTHERBITNESSFOUND;WIX_DOWNGRADE_DETECTED;WIX_UPGRADE_DETECTED' WHERE \`Property\` = 'SecureCustomProperties'"
# The folders: the installed product's, unless the command line names them (AppSearch would
# overwrite them). The product writes them in HKLM\SOFTWARE\Zentrik\radioswitch, with its
# version and build.
sql "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('KeepLibraryDir', 51, 'LIBRARYDIR', '[REMEMBEREDLIBRARYDIR]')"
sql "INSERT INTO \`CustomAction\` (\`Action\`, \`Type\`, \`Source\`, \`Target\`) VALUES ('KeepInstallFolder', 51, 'INSTALLFOLDER', '[REMEMBEREDINSTALLDIR]')"
for table in InstallExecuteSequence InstallUISequence; do
    sql "INSERT INTO \`$table\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('KeepLibraryDir', 'REMEMBEREDLIBRARYDIR AND NOT LIBRARYDIR', 51)"
    sql "INSERT INTO \`$table\` (\`Action\`, \`Condition\`, \`Sequence\`) VALUES ('KeepInstallFolder', 'REMEMBEREDINSTALLDIR AND NOT INSTALLFOLDER', 52)"
done
sql "INSERT INTO \`Registry\` (\`Registry\`, \`Root\`, \`Key\`, \`Name\`, \`Component_\`) VALUES ('ProductKey', 2, 'SOFTWARE\\Zentrik\\radioswitch', '-', 'LibraryComponent')"
# Versioned images carry their version, so that the file-versioning rules compare versions;
# hashes are for unversioned files only.
for file in *.exe *.dll; do
    file_version=$(file_version "$file")
    [ -n "$file_version" ] || continue
    sql "UPDATE \`File\` SET \`Version\` = '$file_version' WHERE \`FileName\` = '$file'"
    sql "DELETE FROM \`MsiFileHash\` WHERE \`File_\` = '$(msiinfo export package.msi File | awk -F'\t' -v name="$file" '$3 == name { print $1 }')'"
done
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
