#!/bin/sh
# Checks a release in the current folder (scripts/release.sh runs it in build/release):
# the checksums, the build record, every architecture's package tables (the 32-bit one
# cannot be installed where no 32-bit program runs, the arm64 one only under arm64 Wine;
# settings Wine does not keep, such as the recovery actions, are checked here too) and the files inside each package against the
# archive's. A signed release has every image and package verified; RADIOSWITCH_VERIFY_CAFILE
# names the certificates to trust, when they are not the system's.
# Usage: check_release.sh NAME   (NAME: radioswitch-<version>[-dirty])
set -u
name=$1
failures=0
fail() { echo "check_release: $*"; failures=$((failures + 1)); }
expect() { [ "$2" = "$3" ] || fail "$1: \"$2\", expected \"$3\""; }
# Rows of a table without the three header lines, fields separated by "|".
table() { msiinfo export "$1" "$2" | tr -d '\r' | tail -n +4 | tr '\t' '|' | LC_ALL=C sort; }
row() { table "$1" "$2" | grep -c "^$3\$"; }

sha256sum --quiet -c SHA256SUMS || fail "SHA256SUMS does not match"
(cd "$name" && sha256sum --quiet -c SHA256SUMS) || fail "$name/SHA256SUMS does not match"
version=$(sed -n 's/^version: //p' "$name/BUILDINFO")
expect "version in BUILDINFO" "radioswitch-$version" "$name"
for field in commit date compiler binutils "compiler arm64" wixl signature timestamp "product code x64" "product code x86" \
    "product code arm64"; do
    grep -q "^$field: ." "$name/BUILDINFO" || fail "BUILDINFO has no $field"
done
expect "architectures in the archive" "$(cd "$name" && ls -d -- */ | tr -d / | tr '\n' ' ')" "arm64 x64 x86 "
signature=$(sed -n 's/^signature: //p' "$name/BUILDINFO")
# A build that is not the release says so in the product's name.
label=${version#"${version%-dirty}"}
[ "$signature" != unsigned ] || label=$label-unsigned
label=${label#-}
service="Zentrik Bluetooth Radio Control Service"
# A build that is not the release does not replace the release of its version.
same_version=""
[ -z "$label" ] ||
    same_version="Installed OR NOT (INSTALLEDBUILD = \"release\" AND INSTALLEDVERSION = \"${version%-dirty}\") "
not_arm64='Installed OR NOT (NATIVEARCHITECTURE ~= "ARM64") '
others="Installed OR NOT OTHERBITNESSFOUND "
upgrade_x64=7C1F5D0E-2B6A-4E38-9A47-3D8E1C5B9F60 upgrade_x86=7C1F5D0E-2B6A-4E38-9A47-3D8E1C5B9F61
upgrade_arm64=7C1F5D0E-2B6A-4E38-9A47-3D8E1C5B9F62

for arch in x64 x86 arm64; do
    msi=$name-$arch.msi
    # Components: 256 marks a 64-bit one.
    case $arch in
    x64) suffix=64 programs=ProgramFiles64Folder system=System64Folder template="x64;1033" regbits=18 components=256
        upgrade_code=$upgrade_x64 other_codes="{$upgrade_x86}"
        conditions="${same_version}${not_arm64}${others}NOT WIX_DOWNGRADE_DETECTED " ;;
    x86) suffix="" programs=ProgramFilesFolder system=SystemFolder template="Intel;1033" regbits=2 components=0
        upgrade_code=$upgrade_x86 other_codes="{$upgrade_x64}"
        conditions="${same_version}${not_arm64}${others}Installed OR NOT VersionNT64 OR NATIVEARCHITECTURE ~= \"ARM64\" NOT WIX_DOWNGRADE_DETECTED " ;;
    arm64) suffix=arm64 programs=ProgramFiles64Folder system=System64Folder template="Arm64;1033" regbits=18 components=256
        upgrade_code=$upgrade_arm64 other_codes="{$upgrade_x64} {$upgrade_x86}"
        conditions="Installed OR NATIVEARCHITECTURE ~= \"ARM64\" ${same_version}${others}NOT WIX_DOWNGRADE_DETECTED " ;;
    esac
    expect "$msi template" "$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')" "$template"
    # Windows Installer runs an Arm64 package only from schema 500 on, a 64-bit one from 200.
    expect "$msi schema" "$(msiinfo suminfo "$msi" | sed -n 's/^Version: \([0-9]*\) .*/\1/p')" 500
    expect "$msi components" "$(table "$msi" Component | cut -d'|' -f4 | sort -u)" "$components"
    expect "$msi version" "$(table "$msi" Property | sed -n 's/^ProductVersion|//p')" "${version%-dirty}"
    expect "$msi name" "$(table "$msi" Property | sed -n 's/^ProductName|//p')" "radioswitch ($arch${label:+, $label})"
    expect "$msi product code in BUILDINFO" "$(sed -n "s/^product code $arch: //p" "$name/BUILDINFO")" \
        "$(table "$msi" Property | sed -n 's/^ProductCode|//p')"
    expect "$msi files" "$(table "$msi" File | cut -d'|' -f3 | LC_ALL=C sort | tr '\n' ' ')" \
        "INSTALL.md THIRD_PARTY_NOTICES fa39bbd6-335a-1019-b23b-cfb8fb0ba24b.tmf radioctl$suffix.exe radioswitch$suffix.dll radioswitchsvc$suffix.exe "
    expect "$msi folders" "$(table "$msi" Directory | tr '\n' ' ')" \
        "INSTALLFOLDER|ZentrikFolder|radioswitch LIBRARYDIR|INSTALLFOLDER|. $programs|TARGETDIR|. $system|TARGETDIR|. TARGETDIR||SourceDir ZentrikFolder|$programs|Zentrik "
    expect "$msi library folder" "$(table "$msi" Component | grep '^LibraryComponent|' | cut -d'|' -f3)" LIBRARYDIR
    # Deferred (1024), as local system (2048); 64: exit code ignored; 256: rollback only.
    for action in "ServiceInstall|3090|ServiceFile|install" "ServiceRunning|3074|ServiceWait|running \"$service\" 60" \
        "ServiceStop|3154|ServiceFile|stop" "ServiceStopped|3074|ServiceWait|stopped \"$service\" 130" \
        "ServiceRemove|3154|ServiceFile|remove" "ServiceGone|3074|ServiceWait|gone \"$service\" 30" \
        "RollbackServiceRemove|3410|ServiceFile|remove" "RollbackServiceStop|3410|ServiceFile|stop" \
        "RollbackServiceReinstall|3410|ServiceFile|install" "KeepLibraryDir|51|LIBRARYDIR|[REMEMBEREDLIBRARYDIR]" \
        "KeepInstallFolder|51|INSTALLFOLDER|[REMEMBEREDINSTALLDIR]" \
        "ServiceImage|3074|ServiceWait|image \"$service\" \"[REMEMBEREDINSTALLDIR]radioswitchsvc$suffix.exe\" \"[#ServiceFile]\"" \
        "RollbackServiceImage|3394|ServiceWait|image \"$service\" \"[#ServiceFile]\" \"[REMEMBEREDINSTALLDIR]radioswitchsvc$suffix.exe\"" \
        "ServiceRecovery|3170|$system|\"[$system]sc.exe\" failure \"$service\" reset= 86400 actions= restart/60000/restart/60000/restart/60000" \
        "ServiceRecoverFailedStarts|3170|$system|\"[$system]sc.exe\" failureflag \"$service\" 1" \
        "ServiceDescribe|3170|$system|\"[$system]sc.exe\" description \"$service\" \"Switches the Zentrik USB Bluetooth radio on and off at the request of the radio support library.\""; do
        [ "$(table "$msi" CustomAction | grep -cxF "$action|")" = 1 ] || fail "$msi lacks the custom action $action"
    done
    # When each runs: by the service component's action state (3 installed, 2 removed); an
    # upgrade's removal of the old product keeps the registration.
    for step in "ServiceInstall|\$ServiceComponent=3" \
        "ServiceRunning|\$ServiceComponent=3 AND NOT (SERVICESTART = \"#4\" AND (Installed OR WIX_UPGRADE_DETECTED))" \
        "ServiceImage|\$ServiceComponent=3 AND REMEMBEREDINSTALLDIR" "RollbackServiceImage|\$ServiceComponent=3 AND REMEMBEREDINSTALLDIR" \
        "KeepInstallFolder|REMEMBEREDINSTALLDIR AND NOT INSTALLFOLDER" \
        "ServiceDescribe|\$ServiceComponent=3" "ServiceRecovery|\$ServiceComponent=3" \
        "ServiceRecoverFailedStarts|\$ServiceComponent=3" "RollbackServiceRemove|\$ServiceComponent=3 AND NOT SERVICEFOUND" \
        "RollbackServiceStop|\$ServiceComponent=3 AND (NOT SERVICEFOUND OR (WIX_UPGRADE_DETECTED AND NOT Installed))" \
        "RollbackServiceReinstall|\$ServiceComponent=2" "ServiceStop|\$ServiceComponent=2" "ServiceStopped|\$ServiceComponent=2" \
        "ServiceRemove|\$ServiceComponent=2 AND NOT UPGRADINGPRODUCTCODE" \
        "ServiceGone|\$ServiceComponent=2 AND NOT UPGRADINGPRODUCTCODE" \
        "KeepLibraryDir|REMEMBEREDLIBRARYDIR AND NOT LIBRARYDIR"; do
        [ "$(table "$msi" InstallExecuteSequence | awk -F"|" -v step="$step" '$1 "|" $2 == step' | wc -l)" = 1 ] || fail "$msi: ${step%%|*} does not run on ${step#*|}"
    done
    # The order that matters, by sequence number.
    order=$(table "$msi" InstallExecuteSequence | awk -F'|' '{ print $3, $1 }' | sort -n | awk '{ print $2 }' |
        grep -xE 'AppSearch|KeepLibraryDir|KeepInstallFolder|CostInitialize|InstallInitialize|RemoveExistingProducts|ServiceStop|ServiceStopped|ServiceRemove|ServiceGone|RemoveFiles|InstallFiles|WriteRegistryValues|RollbackServiceRemove|RollbackServiceStop|RollbackServiceImage|ServiceImage|ServiceInstall|ServiceRunning|ServiceDescribe|ServiceRecovery|ServiceRecoverFailedStarts|InstallFinalize' |
        tr '\n' ' ')
    expect "$msi sequence" "$order" "AppSearch KeepLibraryDir KeepInstallFolder CostInitialize InstallInitialize RemoveExistingProducts ServiceStop ServiceStopped ServiceRemove ServiceGone RemoveFiles InstallFiles WriteRegistryValues RollbackServiceRemove RollbackServiceStop RollbackServiceImage ServiceImage ServiceInstall ServiceRunning ServiceDescribe ServiceRecovery ServiceRecoverFailedStarts InstallFinalize "
    # Versioned images are compared by version, never by hash.
    for file in radioctl$suffix.exe radioswitch$suffix.dll radioswitchsvc$suffix.exe; do
        expect "$msi version of $file" "$(table "$msi" File | awk -F'|' -v f="$file" '$3 == f { print $5 }')" "${version%-dirty}.0"
        id=$(table "$msi" File | awk -F'|' -v f="$file" '$3 == f { print $1 }')
        [ "$(row "$msi" MsiFileHash "$id|.*")" = 0 ] || fail "$msi: a hash for the versioned $file"
    done
    expect "$msi library folder kept" "$(table "$msi" RegLocator | grep '^LibraryDirValue|')" \
        "LibraryDirValue|2|SOFTWARE\\Zentrik\\radioswitch|LibraryDir|$regbits"
    for value in "InstallDir|\[INSTALLFOLDER\]|ServiceComponent" "LibraryDir|\[LIBRARYDIR\]|LibraryComponent" \
        "Version|\[ProductVersion\]|LibraryComponent" "Build|${label:-release}|LibraryComponent"; do
        [ "$(row "$msi" Registry "[^|]*|2|SOFTWARE\\\\Zentrik\\\\radioswitch|$value")" = 1 ] || fail "$msi does not write ${value%%|*}"
    done
    expect "$msi folder kept" "$(table "$msi" RegLocator | grep '^InstallDirValue|')" \
        "InstallDirValue|2|SOFTWARE\\Zentrik\\radioswitch|InstallDir|$regbits"
    expect "$msi machine's architecture" "$(table "$msi" RegLocator | grep '^ArchitectureValue|')" \
        "ArchitectureValue|2|SYSTEM\\CurrentControlSet\\Control\\Session Manager\\Environment|PROCESSOR_ARCHITECTURE|$regbits"
    expect "$msi log without a command line" "$(table "$msi" Property | sed -n 's/^MsiLogging|//p')" voicewarmupx
    expect "$msi Restart Manager" "$(table "$msi" Property | sed -n 's/^MSIRESTARTMANAGERCONTROL|//p')" DisableShutdown
    expect "$msi same version, other build" "$(table "$msi" Upgrade | grep '|WIX_UPGRADE_DETECTED$')" \
        "{$upgrade_code}||${version%-dirty}||513||WIX_UPGRADE_DETECTED"
    expect "$msi other architectures" "$(table "$msi" Upgrade | grep '|OTHERBITNESSFOUND$' | cut -d'|' -f1 | tr '\n' ' ')" \
        "$other_codes "
    [ "$(table "$msi" Upgrade | grep -c '^[^|]*|0.0.0|||258||OTHERBITNESSFOUND$')" = "$(echo $other_codes | wc -w)" ] ||
        fail "$msi: the other architectures are not detected from 0.0.0 on, detection only"
    event_key="SYSTEM\\\\CurrentControlSet\\\\Services\\\\EventLog\\\\Application\\\\$service"
    [ "$(row "$msi" Registry "[^|]*|2|$event_key\\\\\\?|EventMessageFile|#%\[#ServiceFile\]|ServiceComponent")" = 1 ] ||
        fail "$msi: no REG_EXPAND_SZ EventMessageFile naming the service image"
    [ "$(row "$msi" Registry "[^|]*|2|$event_key\\\\\\?|TypesSupported|#7|ServiceComponent")" = 1 ] ||
        fail "$msi: no TypesSupported 7"
    [ "$(row "$msi" Registry "[^|]*|2|$event_key|-||ServiceComponent")" = 1 ] ||
        fail "$msi: the event source key is not removed on uninstall"
    expect "$msi launch conditions" "$(table "$msi" LaunchCondition | cut -d'|' -f1 | tr '\n' ' ')" "$conditions"

    # The package carries the archive's files, byte for byte.
    extracted=$(mktemp -d)
    (cd "$extracted" && msiextract "$OLDPWD/$msi" >/dev/null)
    for file in "$name/$arch"/*; do
        found=$(find "$extracted" -type f -name "${file##*/}")
        [ -n "$found" ] && cmp -s "$file" "$found" || fail "$msi: ${file##*/} differs from the archive's"
    done
    # The helper that runs as local system in every install and uninstall.
    msiinfo extract "$msi" Binary.ServiceWait >"$extracted/service_wait.exe"

    for file in "$msi" "$name/$arch"/*.exe "$name/$arch"/*.dll "$extracted/service_wait.exe"; do
        if [ "$signature" = unsigned ]; then
            osslsigncode extract-signature -in "$file" -out /dev/null >/dev/null 2>&1 && fail "$file is signed in an unsigned release"
        else
            osslsigncode verify ${RADIOSWITCH_VERIFY_CAFILE:+-CAfile "$RADIOSWITCH_VERIFY_CAFILE"} -in "$file" >/dev/null 2>&1 ||
                fail "$file: no valid signature"
        fi
    done
    rm -rf "$extracted"
done
for image in "$name"/*/*.exe "$name"/*/*.dll; do
    unzip -l "$name-symbols.zip" | grep -q "/${image##*/}\.[0-9a-f]\{32\}\.debug$" || fail "no debug information for $image"
done
[ "$failures" -eq 0 ] || exit 1
echo "check_release: $name checked ($signature)"
