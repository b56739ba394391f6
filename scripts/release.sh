#!/bin/sh
# Builds every architecture in Release (the tests left out) and writes to build/release/:
#   radioswitch-<version>.zip           one folder: a folder per architecture with what is
#                                       shipped, BUILDINFO, and SHA256SUMS of every file in it
#   radioswitch-<version>-x64.msi       the Windows Installer packages (their product codes
#   radioswitch-<version>-x86.msi       are in BUILDINFO and printed at the end)
#   radioswitch-<version>-arm64.msi
#   radioswitch-<version>-symbols.zip   the debug information of every shipped image, one
#                                       file per image, named for the image's build ID
#   SHA256SUMS                          of the archives and the packages
# Unsigned, any checkout of the same commit gives the same bytes: time stamps are the last
# commit's (or SOURCE_DATE_EPOCH), files go in sorted order, without owner or extra fields,
# and the packages' codes follow from the version and the content.
#
# Usage: release.sh [--allow-dirty] [--no-timestamp]
#   A work tree with uncommitted changes is refused; --allow-dirty builds it anyway and
#   marks the version "-dirty" in every name and record.
# Signing: with RADIOSWITCH_SIGN_PKCS12 (a PKCS#12 file) and RADIOSWITCH_SIGN_PASSWORD in
# the environment, the images, the package's helper and then the packages are signed with
# Authenticode (osslsigncode) before the checksums are made, time-stamped by
# RADIOSWITCH_SIGN_TIMESTAMP_URL (an RFC 3161 server). Signing without a time stamp (the
# signatures then lapse with the certificate) needs --no-timestamp. Without a certificate
# the release is "unsigned".
# A build that is not the release (dirty or unsigned) says so in its packages' product name
# and carries other product codes: the packages' codes follow from their content.
set -eu
cd "$(dirname "$0")/.."
allow_dirty=no timestamp=yes
for option; do
    case $option in
    --allow-dirty) allow_dirty=yes ;;
    --no-timestamp) timestamp=no ;;
    *) echo "usage: $0 [--allow-dirty] [--no-timestamp]" >&2; exit 2 ;;
    esac
done
scripts/setup.sh zip wixl msitools faketime osslsigncode openssl

dirty=""
if [ -n "$(git status --porcelain)" ]; then
    if [ "$allow_dirty" = no ]; then
        git status --short >&2
        echo "release: the work tree has uncommitted changes; commit them, or build anyway with --allow-dirty" >&2
        exit 1
    fi
    dirty=-dirty
fi
pkcs12=${RADIOSWITCH_SIGN_PKCS12:-}
if [ -n "$pkcs12" ] && [ -z "${RADIOSWITCH_SIGN_PASSWORD+set}" ]; then
    echo "release: RADIOSWITCH_SIGN_PKCS12 is set but RADIOSWITCH_SIGN_PASSWORD is not" >&2
    exit 2
fi
timestamp_url=${RADIOSWITCH_SIGN_TIMESTAMP_URL:-}
if [ -n "$pkcs12" ] && [ -z "$timestamp_url" ] && [ "$timestamp" = yes ]; then
    echo "release: signing without a time stamp: set RADIOSWITCH_SIGN_TIMESTAMP_URL, or give --no-timestamp" >&2
    exit 2
fi
[ "$timestamp" = yes ] || timestamp_url=""

: "${SOURCE_DATE_EPOCH:=$(git log -1 --format=%ct)}"
export SOURCE_DATE_EPOCH TZ=UTC LC_ALL=C

# The presets, each an architecture, its folder in the archive and its package.
arches="x64 x86 arm64"
for preset in $arches; do
    cmake --preset "$preset" -B "build/release-$preset" -DRADIOSWITCH_TESTS=OFF -DRADIOSWITCH_SYMBOLS=ON >/dev/null
    cmake --build "build/release-$preset"
done
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release-x64/CMakeCache.txt)
label=$version$dirty
name=radioswitch-$label

rm -rf build/release
mkdir -p "build/release/$name-symbols"
for preset in $arches; do
    cmake --install "build/release-$preset" --prefix "build/release/$name" --strip >/dev/null
    # The debug information of each shipped image, in a file named for the image and the
    # build ID that the stripped image still carries (read from the image itself: binutils
    # cannot read ARM64 images).
    objcopy=$(sed -n 's/^CMAKE_OBJCOPY:FILEPATH=//p' "build/release-$preset/CMakeCache.txt")
    for image in "build/release/$name/$preset"/*.exe "build/release/$name/$preset"/*.dll; do
        file=${image##*/}
        id=$(tests/pe_image.sh "$image" build-id)
        [ -n "$id" ] || { echo "release: $file carries no build ID" >&2; exit 1; }
        "$objcopy" --only-keep-debug "build/release-$preset/bin/$file" "build/release/$name-symbols/$file.$id.debug"
    done
done

# Authenticode through osslsigncode: the images first (the packages carry them), then the
# packages. The password goes through a file, not the command line.
sign() {
    [ -n "$pkcs12" ] || return 0
    password_file=$(mktemp)
    printf '%s' "$RADIOSWITCH_SIGN_PASSWORD" >"$password_file"
    for file in "$@"; do
        set -- -pkcs12 "$pkcs12" -readpass "$password_file" -h sha256 -n radioswitch
        [ -z "$timestamp_url" ] || set -- "$@" -ts "$timestamp_url"
        if ! osslsigncode sign "$@" -in "$file" -out "$file.signed" >/dev/null; then
            rm -f "$password_file"
            echo "release: signing $file failed" >&2
            exit 1
        fi
        mv "$file.signed" "$file"
    done
    rm -f "$password_file"
}
if [ -n "$pkcs12" ]; then
    subject=$(openssl pkcs12 -in "$pkcs12" -passin env:RADIOSWITCH_SIGN_PASSWORD -nokeys -clcerts 2>/dev/null |
        openssl x509 -noout -subject -nameopt oneline | sed 's/^subject= *//')
    signature="Authenticode, $subject"
    package_label=$label
    timestamped=${timestamp_url:-"no (--no-timestamp)"}
else
    signature=unsigned
    package_label=$label-unsigned
    timestamped="no (unsigned)"
fi
# The helper runs as local system in every install and uninstall: signed like the images.
for arch in $arches; do
    mkdir "build/release/helper-$arch"
    cp "build/release-$arch/bin/service_wait.exe" "build/release/helper-$arch/"
done
for arch in $arches; do
    sign "build/release/$name/$arch"/*.exe "build/release/$name/$arch"/*.dll "build/release/helper-$arch/service_wait.exe"
done

cd build/release
packages=""
for arch in $arches; do
    ../../package/build-msi.sh "$arch" "$package_label" "$name-$arch.msi" "$name/$arch"/* "helper-$arch/service_wait.exe"
    rm -r "helper-$arch"
    sign "$name-$arch.msi"
    packages="$packages $name-$arch.msi"
done
product_code() { msiinfo export "$1" Property | tr -d '\r' | sed -n 's/^ProductCode\t//p'; }

first_line() { "$@" 2>/dev/null | head -1; }
debian() { dpkg-query -W -f '${Version}' "$1" 2>/dev/null; }
{
    echo "version: $label"
    echo "commit: $(git rev-parse HEAD)$dirty"
    echo "date: $(date -u -d "@$SOURCE_DATE_EPOCH" '+%Y-%m-%dT%H:%M:%SZ') (SOURCE_DATE_EPOCH $SOURCE_DATE_EPOCH; the packages' times and every file's time stamp)"
    echo "compiler: $(first_line x86_64-w64-mingw32-g++-posix --version), $(first_line i686-w64-mingw32-g++-posix --version) (Debian g++-mingw-w64 $(debian g++-mingw-w64-x86-64-posix))"
    echo "binutils: $(first_line x86_64-w64-mingw32-ld --version) (Debian binutils-mingw-w64 $(debian binutils-mingw-w64-x86-64))"
    # The ARM64 sysroot records what it was made from.
    sysroot=$(sed -n 's/^RADIOSWITCH_ARM64_SYSROOT:[A-Z]*=//p' ../release-arm64/CMakeCache.txt)
    echo "compiler arm64: $(first_line clang-19 --version) (Debian lld-19 $(debian lld-19); sysroot from $(paste -sd , "$sysroot/VERSIONS" | sed 's/,/, /g'))"
    echo "wixl: $(first_line wixl --version) (Debian $(debian wixl))"
    echo "signature: $signature"
    echo "timestamp: $timestamped"
    for arch in $arches; do echo "product code $arch: $(product_code "$name-$arch.msi")"; done
} >"$name/BUILDINFO"

(cd "$name" && find . -type f | sed 's|^\./||' | sort | xargs sha256sum >../SHA256SUMS.files)
mv SHA256SUMS.files "$name/SHA256SUMS"
for folder in "$name" "$name-symbols"; do
    chmod -R u=rwX,go=rX "$folder"
    find "$folder" -exec touch -h -d "@$SOURCE_DATE_EPOCH" {} +
    find "$folder" -type f | sort | zip -X -q "$folder.zip" -@
done
touch -d "@$SOURCE_DATE_EPOCH" "$name.zip" "$name-symbols.zip" $packages
sha256sum "$name.zip" $packages "$name-symbols.zip" >SHA256SUMS
../../tests/package/check_release.sh "$name"
for file in "$name.zip" $packages "$name-symbols.zip"; do
    echo "build/release/$file ($(stat -c %s "$file") bytes)"
done
grep -E '^(signature|timestamp|product code .*): ' "$name/BUILDINFO"
cat SHA256SUMS
