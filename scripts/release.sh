#!/bin/sh
# Builds both bitnesses in Release (the tests left out), installs what is shipped into
# one folder and writes build/release/radioswitch-<version>.zip, with SHA256SUMS inside
# it and beside it. Any checkout of the same commit gives the same archive byte for byte:
# time stamps are the last commit's (or SOURCE_DATE_EPOCH), files go in sorted order,
# without owner or extra fields.
set -eu
cd "$(dirname "$0")/.."
scripts/setup.sh zip

: "${SOURCE_DATE_EPOCH:=$(git log -1 --format=%ct)}"
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C

for preset in x64 x86; do
    cmake --preset "$preset" -B "build/release-$preset" -DRADIOSWITCH_TESTS=OFF >/dev/null
    cmake --build "build/release-$preset"
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release-x64/CMakeCache.txt)
name=radioswitch-$version

rm -rf build/release
for preset in x64 x86; do
    cmake --install "build/release-$preset" --prefix "build/release/$name" >/dev/null
done
cd build/release
(cd "$name" && find . -type f | sed 's|^\./||' | sort | xargs sha256sum >../SHA256SUMS.files)
mv SHA256SUMS.files "$name/SHA256SUMS"
chmod -R u=rwX,go=rX "$name"
find "$name" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
find "$name" -type f | sort | zip -X -q "$name.zip" -@
touch -d "@$SOURCE_DATE_EPOCH" "$name.zip"
sha256sum "$name.zip" >SHA256SUMS
echo "build/release/$name.zip ($(stat -c %s "$name.zip") bytes)"
cat SHA256SUMS
