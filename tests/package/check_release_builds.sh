#!/bin/sh
# What only whole releases show, each from a fresh clone of the committed HEAD:
#   - two checkouts in different folders give the same bytes (archives, packages, sums);
#   - a tree with uncommitted changes is refused, and --allow-dirty names it "-dirty";
#   - a dirty build is another product than the clean one (its own product code);
#   - signing without a time stamp is refused unless --no-timestamp says so; a release signed
#     with a certificate made here carries a signature on every image, helper and package
#     that verifies against that certificate (release.sh runs check_release.sh).
# Usage: tests/package/check_release_builds.sh   (a few minutes: three release builds)
set -eu
top=$(git -C "$(dirname "$0")" rev-parse --show-toplevel)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone -q --no-hardlinks "$top" "$work/a"
git clone -q --no-hardlinks "$top" "$work/another-checkout"

for checkout in a another-checkout; do
    (cd "$work/$checkout" && scripts/release.sh >"$work/$checkout.log" 2>&1) ||
        { cat "$work/$checkout.log"; echo "release in $checkout failed"; exit 1; }
done
grep -q '^signature: unsigned$' "$work/a.log" || { echo "an unsigned release does not say so"; exit 1; }
(cd "$work/a/build/release" && ls *.zip *.msi SHA256SUMS) >"$work/outputs"
[ "$(wc -l <"$work/outputs")" -eq 6 ] || { cat "$work/outputs"; echo "expected two archives, three packages, SHA256SUMS"; exit 1; }
while read -r file; do
    cmp "$work/a/build/release/$file" "$work/another-checkout/build/release/$file" ||
        { echo "$file differs between two checkouts"; exit 1; }
done <"$work/outputs"
echo "byte-identical from two checkouts: $(tr '\n' ' ' <"$work/outputs")"

cd "$work/a"
clean_code=$(sed -n 's/^product code x64: //p' build/release/radioswitch-*/BUILDINFO)
echo "uncommitted" >>README.md
if scripts/release.sh >"$work/dirty.log" 2>&1; then echo "a dirty tree was released"; exit 1; fi
grep -q "uncommitted changes" "$work/dirty.log" || { cat "$work/dirty.log"; echo "the refusal does not say why"; exit 1; }
scripts/release.sh --allow-dirty >"$work/dirty.log" 2>&1 || { cat "$work/dirty.log"; exit 1; }
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' build/release-x64/CMakeCache.txt)
for file in "radioswitch-$version-dirty.zip" "radioswitch-$version-dirty-x64.msi" "radioswitch-$version-dirty-x86.msi" \
    "radioswitch-$version-dirty-arm64.msi" "radioswitch-$version-dirty-symbols.zip"; do
    [ -f "build/release/$file" ] || { ls build/release; echo "no $file"; exit 1; }
done
unzip -p "build/release/radioswitch-$version-dirty.zip" "radioswitch-$version-dirty/BUILDINFO" | grep -q -- "-dirty$" ||
    { echo "BUILDINFO does not mark the dirty tree"; exit 1; }
unzip -p "build/release/radioswitch-$version-dirty.zip" "radioswitch-$version-dirty/BUILDINFO" |
    grep -q "^product code x64: ." || { echo "BUILDINFO names no product code"; exit 1; }
unzip -p "build/release/radioswitch-$version-dirty.zip" "radioswitch-$version-dirty/BUILDINFO" |
    grep -qF "product code x64: $clean_code" && { echo "the dirty build has the release's product code"; exit 1; }
git checkout -q README.md
echo "dirty tree refused, and built as $version-dirty with --allow-dirty"

openssl req -x509 -newkey rsa:2048 -nodes -keyout "$work/key.pem" -out "$work/cert.pem" -days 2 \
    -subj "/CN=radioswitch release test" -addext "extendedKeyUsage=codeSigning" 2>/dev/null
openssl pkcs12 -export -in "$work/cert.pem" -inkey "$work/key.pem" -out "$work/signer.p12" -passout pass:release-test
unset RADIOSWITCH_SIGN_TIMESTAMP_URL
export RADIOSWITCH_SIGN_PKCS12="$work/signer.p12" RADIOSWITCH_SIGN_PASSWORD=release-test RADIOSWITCH_VERIFY_CAFILE="$work/cert.pem"
if scripts/release.sh >"$work/signed.log" 2>&1; then echo "signed without a time stamp"; exit 1; fi
grep -q "RADIOSWITCH_SIGN_TIMESTAMP_URL" "$work/signed.log" || { cat "$work/signed.log"; echo "the refusal does not say why"; exit 1; }
scripts/release.sh --no-timestamp >"$work/signed.log" 2>&1 || { cat "$work/signed.log"; echo "the signed release failed"; exit 1; }
grep -q "^timestamp: no (--no-timestamp)$" "$work/signed.log" || { cat "$work/signed.log"; echo "the release does not say it has no time stamp"; exit 1; }
grep -q "^check_release: radioswitch-$version checked (Authenticode, CN = radioswitch release test)" "$work/signed.log" ||
    { cat "$work/signed.log"; echo "the signed release was not checked as signed"; exit 1; }
echo "signed with a test certificate; every image, helper and package verified"
