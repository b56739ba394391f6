#!/bin/sh
# Installs a build tree into an empty prefix and checks that exactly what is shipped
# lands there: one folder per architecture, nothing built for tests or benchmarks.
# Usage: check_install.sh CMAKE BUILD_DIR x64|x86|arm64
set -eu
cmake=$1 build=$2 bitness=$3
case $bitness in
x64) suffix=64 ;;
x86) suffix="" ;;
arm64) suffix=arm64 ;;
*) echo "unknown bitness $bitness"; exit 2 ;;
esac
expected="$bitness
$bitness/INSTALL.md
$bitness/THIRD_PARTY_NOTICES
$bitness/fa39bbd6-335a-1019-b23b-cfb8fb0ba24b.tmf
$bitness/radioctl$suffix.exe
$bitness/radioswitch$suffix.dll
$bitness/radioswitchsvc$suffix.exe"
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
