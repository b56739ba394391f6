#!/bin/sh
# Installs a build tree into an empty prefix and checks that exactly what is shipped
# lands there: one folder per architecture, nothing built for tests or benchmarks.
# Usage: check_install.sh CMAKE BUILD_DIR x64|x86|arm64
set -eu
cmake=$1 build=$2 bitness=$3
case $bitness in
x64) expected="x64
x64/INSTALL.md
x64/THIRD_PARTY_NOTICES
x64/fa39bbd6-335a-1019-b23b-cfb8fb0ba24b.tmf
x64/radioctl64.exe
x64/radioswitch64.dll
x64/radioswitchsvc64.exe" ;;
x86) expected="x86
x86/INSTALL.md
x86/THIRD_PARTY_NOTICES
x86/fa39bbd6-335a-1019-b23b-cfb8fb0ba24b.tmf
x86/radioctl.exe
x86/radioswitch.dll
x86/radioswitchsvc.exe" ;;
arm64) expected="arm64
arm64/INSTALL.md
arm64/THIRD_PARTY_NOTICES
arm64/fa39bbd6-335a-1019-b23b-cfb8fb0ba24b.tmf
arm64/radioctlarm64.exe
arm64/radioswitcharm64.dll
arm64/radioswitchsvcarm64.exe" ;;
*) echo "unknown bitness $bitness"; exit 2 ;;
esac
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
"$cmake" --install "$build" --prefix "$prefix" >/dev/null
actual=$(cd "$prefix" && find . -mindepth 1 | sed 's|^\./||' | LC_ALL=C sort)
if [ "$actual" != "$expected" ]; then
    printf 'installed:\n%s\nexpected:\n%s\n' "$actual" "$expected"
    exit 1
fi
empty=$(find "$prefix" -type f -size 0)
[ -z "$empty" ] || { echo "installed empty: $empty"; exit 1; }
