#!/bin/sh
# A 64-bit package (x64, or arm64 under arm64 Wine) under Wine, each scenario in a fresh
# prefix cloned from the template.
#   install         the files (the library where LIBRARYDIR says), the service registered
#                   (quoted path in Program Files, automatic, local system) and running,
#                   its description, its event source and the product's key; a repair
#                   puts a file back and starts the service, and leaves a disabled one so
#   uninstall       neither service, files, event source, product key nor product left;
#                   the Radio Support key and ZentRadioState as they were
#   feature_removal REMOVE=Complete given to /i removes the service as an uninstall does:
#                   nothing registered, nothing running
#   upgrade         a higher version made here (INSTALLFOLDER and LIBRARYDIR given only to
#                   the first install) replaces the package's: one product, the same
#                   registration kept, a new service process from the new image, both
#                   folders kept; a kept registration follows a moved INSTALLFOLDER; the
#                   lower version, and a build of the same version that is not the release,
#                   are refused afterwards
#   bitness         the other architectures' packages (made here from the same files) are
#                   refused before anything is installed: by their launch conditions, the
#                   arm64 one on x64 by Windows Installer itself; the package itself is
#                   refused on the other 64-bit architecture (a prefix whose registry says
#                   so), and its message names the package for it
#   failed_install  the service's name already registered and disabled: the install fails
#                   and leaves no file, no event source, no product and that registration
#                   as it was
# Usage: package_test.sh SCENARIO LOADER TEMPLATES PACKAGE BUILD_MSI FILE...
#   (TEMPLATES: the Wine templates' folder; BUILD_MSI and the FILEs it was built from make
#   the higher version and the other architectures' packages)
set -u
scenario=$1 loader=$2 templates=$3 package=$4 build_msi=$5
shift 5
# The files' names carry the package's architecture.
suffix_of() { case $1 in x64) echo 64 ;; x86) echo "" ;; arm64) echo arm64 ;; esac; }
case $(msiinfo suminfo "$package" | tr -d '\r' | sed -n 's/^Template: //p') in
"x64;1033") arch=x64 ;;
"Arm64;1033") arch=arm64 ;;
*) echo "package_test.sh: $package is neither an x64 nor an arm64 package"; exit 2 ;;
esac
suffix=$(suffix_of $arch)

# Beside the templates, where hard links reach them.
work=$(mktemp -d "$templates/package.XXXXXX") || exit 1
export WINEPREFIX="$work/prefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
cleanup() { wineserver -k 2>/dev/null; wineserver -w 2>/dev/null; rm -rf "$work"; }
# Interrupted or timed out, the scenario ends its Wine server too, and fails.
trap cleanup EXIT
trap 'exit 129' HUP
trap 'exit 130' INT
trap 'exit 143' TERM
"$(dirname "$0")/../../cmake/clone-prefix.sh" "$templates" "$work/prefix" || exit 1
# A service lives only as long as its session: keep one for the whole scenario. Killed
# outright (a signal no trap sees), the server still ends a minute after its last program.
wineserver -p60

drive_c=$WINEPREFIX/drive_c
folder="$drive_c/Program Files/Zentrik/radioswitch"
service="Zentrik Bluetooth Radio Control Service"
service_key="HKLM\\SYSTEM\\CurrentControlSet\\Services\\$service"
event_key="HKLM\\SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\$service"
radio_key='HKLM\SYSTEM\CurrentControlSet\services\BTHPORT\Parameters\Radio Support'
products='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'
cp "$package" "$drive_c/radioswitch.msi"

failures=0
fail() { printf "FAIL: %s\n" "$*"; failures=$((failures + 1)); }
expect() { [ "$2" = "$3" ] || fail "$1: \"$2\", expected \"$3\""; }
# Ends the scenario here if anything failed.
stop_if_failed() { [ "$failures" -eq 0 ] || { echo "Wine's own messages:"; cat "$work/wine.err"; exit 1; }; }
# Wine's own complaints are kept, to be shown with any failure (a command that printed
# nothing, no exit code among it, says why there).
wine() { "$loader" "$@" </dev/null 2>>"$work/wine.err" | tr -d '\r'; }
# The exit code as Windows reports it (Wine's own process status keeps its low byte only).
# Standard input from /dev/null: Wine's msiexec stops part-way when it can read one.
# Each word its own argument: the loader quotes one with spaces as cmd expects.
exit_code() { wine cmd /v:on /c "$@" '&' echo 'exit=!errorlevel!' | sed -n 's/^exit=//p'; }
# msiexec is a GUI program: cmd waits for it only through start /wait.
msiexec() { exit_code start /wait msiexec "$@"; }
# "TYPE DATA" of one value, or nothing when the key or value is missing.
value() { wine reg query "$1" /v "$2" | sed -n "s/^    $2    \(REG_[A-Z_]*\)    \(.*\)$/\1 \2/p"; }
key_exists() { wine reg query "$1" | grep -q '^HKEY_'; }
service_state() { wine sc query "$service" | awk '$1 == "STATE" { print $4 }'; }
# Display name and version of every installed product named radioswitch.
installed() {
    # reg query always prints at least the key's name; under load Wine at times loses a
    # command's whole output, which is asked again rather than read as "no product".
    for _ in 1 2 3; do
        listing=$(wine reg query "$products" /s)
        [ -z "$listing" ] || break
    done
    printf '%s\n' "$listing" | awk '/^HKEY/ { name = ""; version = "" }
        $1 == "DisplayName" { $1 = $2 = ""; name = substr($0, 3) }
        $1 == "DisplayVersion" { version = $3 }
        name ~ /^radioswitch/ && version != "" { print name " " version; name = "" }'
}
# Linux processes of this prefix that run the service's image.
service_processes() {
    for proc in /proc/[0-9]*; do
        tr '\0' '\n' 2>/dev/null <"$proc/environ" | grep -qx "WINEPREFIX=$WINEPREFIX" &&
            tr '\0' ' ' 2>/dev/null <"$proc/cmdline" | grep -q "radioswitchsvc$suffix\\.exe" && echo "${proc#/proc/}"
    done
}
version_of() { msiinfo export "$1" Property | tr -d '\r' | awk '$1 == "ProductVersion" { print $2 }'; }
install_package() {
    code=$(msiexec /i 'C:\radioswitch.msi' /qn /l*v 'C:\install.log' "$@")
    [ "$code" = 0 ] || { fail "install exited with \"$code\""; stop_if_failed; }
}
# Refused by a launch condition, before anything is installed: WHAT EXIT-CODE LOG.
refused_by_condition() {
    case $2 in 1603 | 1627) ;; *) fail "$1: exit code \"$2\", expected 1603 (1627 under Wine)" ;; esac
    tr -d '\r' <"$drive_c/$3" | grep -q "Action ended .*: LaunchConditions. Return value 0" ||
        fail "$1 was not refused by its launch condition"
}
expected_path="\"C:\Program Files\Zentrik\radioswitch\radioswitchsvc$suffix.exe\""

# The port driver's key, as the platform provides it, with a state the service last saw.
wine reg add "$radio_key" /f >/dev/null
wine reg add "$radio_key" /v ZentRadioState /t REG_DWORD /d 1 /f >/dev/null

case $scenario in
install)
    install_package 'LIBRARYDIR=C:\RadioLibrary\'
    expect "files installed" "$(ls "$folder" | tr '\n' ' ')" \
        "INSTALL.md THIRD_PARTY_NOTICES fa39bbd6-335a-1019-b23b-cfb8fb0ba24b.tmf radioctl$suffix.exe radioswitchsvc$suffix.exe "
    expect "library folder" "$(ls "$drive_c/RadioLibrary" | tr '\n' ' ')" "radioswitch$suffix.dll "
    for file in "$@"; do
        name=${file##*/}
        case $name in
        service_wait.exe) ;;
        "radioswitch$suffix.dll") cmp -s "$file" "$drive_c/RadioLibrary/$name" || fail "$name differs from the build's" ;;
        *) cmp -s "$file" "$folder/$name" || fail "$name differs from the build's" ;;
        esac
    done
    expect "service state" "$(service_state)" RUNNING
    expect "ImagePath" "$(value "$service_key" ImagePath)" "REG_SZ $expected_path"
    expect "Start" "$(value "$service_key" Start)" "REG_DWORD 0x2"
    expect "ObjectName" "$(value "$service_key" ObjectName)" "REG_SZ LocalSystem"
    expect "Type" "$(value "$service_key" Type)" "REG_DWORD 0x10"
    expect "Description" "$(value "$service_key" Description)" \
        "REG_SZ Switches the Zentrik USB Bluetooth radio on and off at the request of the radio support library."
    expect "EventMessageFile" "$(value "$event_key" EventMessageFile)" \
        "REG_EXPAND_SZ C:\Program Files\Zentrik\radioswitch\radioswitchsvc$suffix.exe"
    expect "TypesSupported" "$(value "$event_key" TypesSupported)" "REG_DWORD 0x7"
    version=$(version_of "$package")
    expect "products" "$(installed)" "radioswitch ($arch, unsigned) $version"
    product_key='HKLM\SOFTWARE\Zentrik\radioswitch'
    expect "remembered folders" "$(value "$product_key" InstallDir) $(value "$product_key" LibraryDir)" \
        'REG_SZ C:\Program Files\Zentrik\radioswitch\ REG_SZ C:\RadioLibrary\'
    expect "version and build" "$(value "$product_key" Version) $(value "$product_key" Build)" "REG_SZ $version REG_SZ unsigned"
    # The same package again repairs: a missing file back, the stopped service started.
    rm "$folder/radioctl$suffix.exe"
    wine sc stop "$service" >/dev/null
    expect "repair exit code" "$(msiexec /i 'C:\radioswitch.msi' /qn /l*v 'C:\repair.log')" 0
    [ -e "$folder/radioctl$suffix.exe" ] || fail "the repair did not put radioctl$suffix.exe back"
    expect "service state after the repair" "$(service_state)" RUNNING
    # A service an administrator disabled stays disabled and stopped through a repair.
    # Wine's sc has no config: disabled in the registry, which the next session's SCM reads.
    wine sc stop "$service" >/dev/null
    wine reg add "$service_key" /v Start /t REG_DWORD /d 4 /f >/dev/null
    wineserver -k; wineserver -w; wineserver -p60
    expect "repair of a disabled service: exit code" "$(msiexec /i 'C:\radioswitch.msi' /qn /l*v 'C:\repair.log')" 0
    expect "repair of a disabled service: state" "$(service_state) $(value "$service_key" Start)" "STOPPED REG_DWORD 0x4"
    ;;
uninstall)
    install_package
    state=$(value "$radio_key" ZentRadioState)
    code=$(msiexec /x 'C:\radioswitch.msi' /qn /l*v 'C:\uninstall.log')
    expect "uninstall exit code" "$code" 0
    key_exists "$service_key" && fail "the service is still registered ($(service_state))"
    [ -e "$drive_c/Program Files/Zentrik" ] && fail "left behind: $(find "$drive_c/Program Files/Zentrik")"
    key_exists "$event_key" && fail "the event source is still registered"
    key_exists 'HKLM\SOFTWARE\Zentrik\radioswitch' && fail "the product's key is still there"
    expect "products" "$(installed)" ""
    key_exists "$radio_key" || fail "the Radio Support key is gone"
    expect "ZentRadioState" "$(value "$radio_key" ZentRadioState)" "$state"
    ;;
feature_removal)
    install_package
    code=$(msiexec /i 'C:\radioswitch.msi' REMOVE=Complete /qn /l*v 'C:\remove.log')
    expect "feature removal exit code" "$code" 0
    key_exists "$service_key" && fail "the service is still registered ($(service_state))"
    expect "service processes" "$(service_processes)" ""
    [ -e "$folder/radioswitchsvc$suffix.exe" ] && fail "the service image is still installed"
    ;;
bitness)
    # The other architectures' packages, made here from this package's files under their
    # names: only their architecture rules are checked, so the images need not be theirs.
    case $arch in x64) others="x86 arm64" machine=ARM64 right=arm64 ;; arm64) others="x86 x64" machine=AMD64 right=x64 ;; esac
    for other in $others; do
        mkdir "$work/$other"
        for file in "$@"; do cp "$file" "$work/$other/$(basename "$file" | sed "s/$suffix\./$(suffix_of "$other")./")"; done
        SOURCE_DATE_EPOCH=1735689600 "$build_msi" "$other" "$(version_of "$package")" "$drive_c/$other.msi" "$work/$other"/* ||
            { fail "building the $other package"; stop_if_failed; }
        code=$(msiexec /i "C:\\$other.msi" /qn /l*v "C:\\$other.log")
        # The arm64 package's platform (Arm64, in its summary) is not x64's.
        if [ "$arch/$other" = x64/arm64 ]; then expect "the arm64 package: exit code" "$code" 1633
        else refused_by_condition "the $other package" "$code" "$other.log"; fi
        [ -n "$(find "$drive_c"/Program\ Files*/Zentrik 2>/dev/null)" ] && fail "the $other package installed files"
        key_exists "$service_key" && fail "the $other package registered a service"
        expect "products after the $other package" "$(installed)" ""
    done
    # The other 64-bit architecture, as its registry names the machine's: the x64 package
    # would install on Windows on Arm under emulation. Wine's log leaves out the refusal's
    # message, which names the package to install instead.
    wine reg add 'HKLM\SYSTEM\CurrentControlSet\Control\Session Manager\Environment' /v PROCESSOR_ARCHITECTURE /d $machine /f >/dev/null
    refused_by_condition "the $arch package on $machine" "$(msiexec /i 'C:\radioswitch.msi' /qn /l*v 'C:\machine.log')" machine.log
    [ -e "$drive_c/Program Files/Zentrik" ] && fail "installed on $machine: $(find "$drive_c/Program Files/Zentrik")"
    msiinfo export "$package" LaunchCondition | grep NATIVEARCHITECTURE | grep -q "install the $right package" ||
        fail "the refusal on $machine does not name the $right package"
    ;;
upgrade)
    install_package 'INSTALLFOLDER=C:\Tools\rs\' 'LIBRARYDIR=C:\RadioLibrary\'
    version=$(version_of "$package")
    higher=$(echo "$version" | awk -F. '{ print $1 "." $2 + 1 "." $3 }')
    # The higher version's service image differs from the installed one by trailing bytes.
    mkdir "$work/higher"
    for file in "$@"; do cp "$file" "$work/higher/"; done
    echo "upgrade test" >>"$work/higher/radioswitchsvc$suffix.exe"
    SOURCE_DATE_EPOCH=1735689600 "$build_msi" $arch "$higher" "$drive_c/higher.msi" "$work"/higher/* ||
        { fail "building version $higher"; stop_if_failed; }
    before=$(service_processes)
    [ -n "$before" ] || fail "no service process before the upgrade"
    code=$(msiexec /i 'C:\higher.msi' /qn /l*v 'C:\upgrade.log')
    expect "upgrade exit code" "$code" 0
    expect "products" "$(installed)" "radioswitch ($arch) $higher"
    expect "ImagePath" "$(value "$service_key" ImagePath)" "REG_SZ C:\Tools\rs\radioswitchsvc$suffix.exe"
    expect "service state" "$(service_state)" RUNNING
    cmp -s "$work/higher/radioswitchsvc$suffix.exe" "$drive_c/Tools/rs/radioswitchsvc$suffix.exe" || fail "the old service image is installed"
    expect "library folder" "$(ls "$drive_c/RadioLibrary" | tr '\n' ' ')" "radioswitch$suffix.dll "
    [ -n "$(find "$drive_c/Program Files/Zentrik" -type f 2>/dev/null)" ] && fail "the upgrade moved to the default folder"
    # Wine's RemoveExistingProducts leaves out UPGRADINGPRODUCTCODE, which Windows sets for
    # the old product's removal: that removal, as Windows runs it, stops the service and
    # keeps its registration (a value of its own stays), and the next install starts it.
    wine reg add "$service_key" /v KeptByUpgrade /t REG_DWORD /d 1 /f >/dev/null
    code=$(msiexec /x 'C:\higher.msi' /qn UPGRADINGPRODUCTCODE={00000000-0000-0000-0000-000000000001} /l*v 'C:\removal.log')
    expect "removal by an upgrade: exit code" "$code" 0
    expect "removal by an upgrade: service state" "$(service_state)" STOPPED
    [ -e "$drive_c/Tools/rs/radioswitchsvc$suffix.exe" ] && fail "removal by an upgrade: the service image is still installed"
    # Windows's upgrade reads the old product's key before its removal; the next install
    # moves INSTALLFOLDER, and the kept registration follows it.
    wine reg add 'HKLM\SOFTWARE\Zentrik\radioswitch' /v InstallDir /d 'C:\Tools\rs\' /f >/dev/null
    # A folder without spaces: Wine 10's msiexec refuses the property quoted as one word (1639).
    code=$(msiexec /i 'C:\higher.msi' /qn 'INSTALLFOLDER=C:\Tools\moved\' /l*v 'C:\reinstall.log')
    expect "install after it: exit code" "$code" 0
    expect "install after it: service state" "$(service_state)" RUNNING
    expect "the registration kept" "$(value "$service_key" KeptByUpgrade)" "REG_DWORD 0x1"
    expect "the kept registration's image" "$(value "$service_key" ImagePath)" "REG_SZ C:\Tools\moved\radioswitchsvc$suffix.exe"
    after=$(service_processes)
    [ -n "$after" ] && [ "$after" != "$before" ] ||
        fail "service processes before the upgrade: ${before:-none}, after: ${after:-none}"
    # And back: the lower version is refused, the higher one stays.
    # Wine's log leaves out the condition's message, which Windows shows and logs.
    refused_by_condition "the lower version" "$(msiexec /i 'C:\radioswitch.msi' /qn /l*v 'C:\downgrade.log')" downgrade.log
    expect "products after the refused downgrade" "$(installed)" "radioswitch ($arch) $higher"
    expect "service state after the refused downgrade" "$(service_state)" RUNNING
    # An unsigned build of the same version does not replace the release.
    SOURCE_DATE_EPOCH=1735689600 "$build_msi" $arch "$higher-unsigned" "$drive_c/unsigned.msi" "$work"/higher/* ||
        { fail "building version $higher-unsigned"; stop_if_failed; }
    code=$(msiexec /i 'C:\unsigned.msi' /qn /l*v 'C:\unsigned.log')
    case $code in 1603 | 1627) ;; *) fail "the same version's unsigned build: exit code \"$code\", expected 1603 (1627 under Wine)" ;; esac
    expect "products after the refused unsigned build" "$(installed)" "radioswitch ($arch) $higher"
    ;;
failed_install)
    wine sc create "$service" binPath= 'C:\elsewhere\other.exe' start= disabled >/dev/null
    registration=$(wine reg query "$service_key")
    [ -n "$registration" ] || { fail "could not register the service beforehand"; stop_if_failed; }
    code=$(msiexec /i 'C:\radioswitch.msi' /qn /l*v 'C:\install.log')
    # Windows reports a failed installation with 1603; Wine 8's msiexec reports the same
    # failure with 1627.
    case $code in 1603 | 1627) ;; *) fail "exit code \"$code\", expected 1603 (1627 under Wine)" ;; esac
    tr -d '\r' <"$drive_c/install.log" | grep -q "Action ended .*: ServiceRunning. Return value 0" ||
        fail "the install did not fail where the service should run"
    [ -e "$drive_c/Program Files/Zentrik" ] && fail "left behind: $(find "$drive_c/Program Files/Zentrik")"
    key_exists "$event_key" && fail "the event source is registered"
    expect "products" "$(installed)" ""
    expect "the registration found" "$(wine reg query "$service_key")" "$registration"
    # Why, as Windows's log gives it ("returned actual error code"; Wine's log leaves it out).
    for file in "$@"; do case $file in */service_wait.exe) cp "$file" "$drive_c/" ;; esac; done
    expect "why the service did not run" "$(exit_code 'C:\service_wait.exe' running "$service" 5)" 1058
    expect "why it would not be gone" "$(exit_code 'C:\service_wait.exe' gone "$service" 1)" 1072
    ;;
*)
    echo "unknown scenario $scenario"
    exit 2
    ;;
esac
stop_if_failed
echo "package $scenario: passed"
