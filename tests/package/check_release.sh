#!/bin/sh
# Checks a release in the current folder (scripts/release.sh runs it in build/release):
# the checksums, the build record, both packages' tables (the 32-bit one cannot be
# installed where no 32-bit program runs; settings Wine does not keep, such as the
# recovery actions, are checked here too) and the files inside each package against the
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
for field in commit date compiler binutils wixl signature; do
    grep -q "^$field: ." "$name/BUILDINFO" || fail "BUILDINFO has no $field"
done
signature=$(sed -n 's/^signature: //p' "$name/BUILDINFO")
service="Zentrik Bluetooth Radio Control Service"

for arch in x64 x86; do
    msi=$name-$arch.msi
    case $arch in
    x64) suffix=64 programs=ProgramFiles64Folder system=System64Folder template="x64;1033" ;;
    x86) suffix="" programs=ProgramFilesFolder system=SystemFolder template="Intel;1033" ;;
    esac
    expect "$msi template" "$(msiinfo suminfo "$msi" | sed -n 's/^Template: //p')" "$template"
    expect "$msi version" "$(table "$msi" Property | sed -n 's/^ProductVersion|//p')" "${version%-dirty}"
    expect "$msi files" "$(table "$msi" File | cut -d'|' -f3 | LC_ALL=C sort | tr '\n' ' ')" \
        "INSTALL.md THIRD_PARTY_NOTICES fa39bbd6-335a-1019-b23b-cfb8fb0ba24b.tmf radioctl$suffix.exe radioswitch$suffix.dll radioswitchsvc$suffix.exe "
    expect "$msi folders" "$(table "$msi" Directory | tr '\n' ' ')" \
        "INSTALLFOLDER|ZentrikFolder|radioswitch LIBRARYDIR|INSTALLFOLDER|. $programs|TARGETDIR|. $system|TARGETDIR|. TARGETDIR||SourceDir ZentrikFolder|$programs|Zentrik "
    expect "$msi library folder" "$(table "$msi" Component | grep '^LibraryComponent|' | cut -d'|' -f3)" LIBRARYDIR
    # Deferred (1024), as local system (2048); 64: exit code ignored; 256: rollback only.
    for action in "ServiceInstall|3090|ServiceFile|install" "ServiceRunning|3074|ServiceWait|running \"$service\" 60" \
        "ServiceStop|3154|ServiceFile|stop" "ServiceRemove|3154|ServiceFile|remove" \
        "ServiceGone|3138|ServiceWait|gone \"$service\" 130" \
        "RollbackServiceRemove|3410|ServiceFile|remove" "RollbackServiceStop|3410|ServiceFile|stop" \
        "RollbackServiceReinstall|3410|ServiceFile|install" \
        "ServiceRecovery|3170|$system|\"[$system]sc.exe\" failure \"$service\" reset= 86400 actions= restart/60000/restart/60000/restart/60000" \
        "ServiceDescribe|3170|$system|\"[$system]sc.exe\" description \"$service\" \"Switches the Zentrik USB Bluetooth radio on and off at the request of the radio support library.\""; do
        [ "$(table "$msi" CustomAction | grep -cxF "$action|")" = 1 ] || fail "$msi lacks the custom action $action"
    done
    # The order that matters, by sequence number.
    order=$(table "$msi" InstallExecuteSequence | awk -F'|' '{ print $3, $1 }' | sort -n | awk '{ print $2 }' |
        grep -xE 'InstallInitialize|RemoveExistingProducts|ServiceStop|ServiceRemove|ServiceGone|RemoveFiles|InstallFiles|WriteRegistryValues|RollbackServiceRemove|RollbackServiceStop|ServiceInstall|ServiceRunning|ServiceDescribe|ServiceRecovery|InstallFinalize' |
        tr '\n' ' ')
    expect "$msi sequence" "$order" "InstallInitialize RemoveExistingProducts ServiceStop ServiceRemove ServiceGone RemoveFiles InstallFiles WriteRegistryValues RollbackServiceRemove RollbackServiceStop ServiceInstall ServiceRunning ServiceDescribe ServiceRecovery InstallFinalize "
    event_key="SYSTEM\\\\CurrentControlSet\\\\Services\\\\EventLog\\\\Application\\\\$service"
    [ "$(row "$msi" Registry "[^|]*|2|$event_key\\\\\\?|EventMessageFile|#%\[#ServiceFile\]|ServiceComponent")" = 1 ] ||
        fail "$msi: no REG_EXPAND_SZ EventMessageFile naming the service image"
    [ "$(row "$msi" Registry "[^|]*|2|$event_key\\\\\\?|TypesSupported|#7|ServiceComponent")" = 1 ] ||
        fail "$msi: no TypesSupported 7"
    [ "$(row "$msi" Registry "[^|]*|2|$event_key|-||ServiceComponent")" = 1 ] ||
        fail "$msi: the event source key is not removed on uninstall"
    expect "$msi refuses a lower version" "$(table "$msi" LaunchCondition | cut -d'|' -f1)" "NOT WIX_DOWNGRADE_DETECTED"

    # The package carries the archive's files, byte for byte.
    extracted=$(mktemp -d)
    (cd "$extracted" && msiextract "$OLDPWD/$msi" >/dev/null)
    for file in "$name/$arch"/*; do
        found=$(find "$extracted" -type f -name "${file##*/}")
        [ -n "$found" ] && cmp -s "$file" "$found" || fail "$msi: ${file##*/} differs from the archive's"
    done
    rm -rf "$extracted"

    for file in "$msi" "$name/$arch"/*.exe "$name/$arch"/*.dll; do
        if [ "$signature" = unsigned ]; then
            osslsigncode extract-signature -in "$file" -out /dev/null >/dev/null 2>&1 && fail "$file is signed in an unsigned release"
        else
            osslsigncode verify ${RADIOSWITCH_VERIFY_CAFILE:+-CAfile "$RADIOSWITCH_VERIFY_CAFILE"} -in "$file" >/dev/null 2>&1 ||
                fail "$file: no valid signature"
        fi
    done
done
for image in "$name"/x64/*.exe "$name"/x64/*.dll "$name"/x86/*.exe "$name"/x86/*.dll; do
    unzip -l "$name-symbols.zip" | grep -q "/${image##*/}\.[0-9a-f]\{32\}\.debug$" || fail "no debug information for $image"
done
[ "$failures" -eq 0 ] || exit 1
echo "check_release: $name checked ($signature)"
