#!/bin/sh
# Makes the ARM64 Windows sysroot (aarch64-w64-mingw32: mingw-w64's headers and UCRT CRT,
# compiler-rt's builtins, libunwind, libc++abi and libc++, static, Win32 threads) with
# Debian's clang-19 from Debian's source packages, and prints its path as the last line of
# standard output (messages go to standard error).
# It is made once under ${XDG_CACHE_HOME:-~/.cache}/radioswitch, outside any tree, and made
# again when clang-19, either source package or this recipe changes; the cache keeps one
# sysroot. The path printed, <cache>/arm64-sysroot, is a link swapped only when a new one
# is complete: a failed or stopped run leaves the previous one as it was.
# Usage: arm64-sysroot.sh
set -eu

# Raise when the way the sysroot is made changes: the next run makes it again.
recipe=1
triple=aarch64-w64-mingw32
llvm_bin=/usr/lib/llvm-19/bin
cache=${XDG_CACHE_HOME:-$HOME/.cache}/radioswitch
link=$cache/arm64-sysroot

say() { echo "arm64-sysroot: $*" >&2; }
fail() { say "$*"; exit 1; }

for tool in clang ld.lld llvm-ar llvm-ranlib llvm-dlltool; do
    [ -x "$llvm_bin/$tool" ] || fail "$llvm_bin/$tool is missing: run scripts/setup.sh"
done
for tool in cmake ninja make python3 apt-get dpkg-query flock setsid tar xz bzip2; do
    command -v "$tool" >/dev/null || fail "$tool is missing: run scripts/setup.sh"
done

mkdir -p "$cache"
exec 9>"$cache/arm64-sysroot.lock"
flock -w 3600 9 || fail "$cache/arm64-sysroot.lock is still held after an hour"
# Under the lock, a folder of an earlier run is one that was killed before it could clean up.
rm -rf "$cache"/arm64-sysroot.tmp.*

sources() { "$(dirname "$0")"/debian-sources.sh; }
mirror=$(sources | awk '$2 !~ /-/ && $1 ~ /debian\/?$/ { print $1; exit }')
security=$(sources | awk '$2 ~ /-security$/ && $1 ~ /debian-security\/?$/ { print $1; exit }')
mirror=${mirror:-http://deb.debian.org/debian}
security=${security:-http://deb.debian.org/debian-security}
release=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
[ -n "$release" ] || fail "/etc/os-release names no release"

# A private apt state: the machine's apt configuration and indexes are left as they are.
# The source indexes are those of the running release, where clang-19's own source version
# is, and of trixie, whose mingw-w64 12 is taken on both Debian 12 and 13 so that both build
# against the same headers. Indexes are verified against the archive keyring as apt does.
apt_dir=$cache/apt
mkdir -p "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial"
keyring=/usr/share/keyrings/debian-archive-keyring.gpg
: >"$apt_dir/sources.list"
for suite in $(printf '%s\n' "$release" trixie | sort -u); do
    printf 'deb-src [signed-by=%s] %s %s main\n' \
        "$keyring" "$mirror" "$suite" "$keyring" "$mirror" "$suite-updates" "$keyring" "$security" "$suite-security" \
        >>"$apt_dir/sources.list"
done
# As root, apt's download user can't reach a folder in root's home: apt downloads as root,
# as it would after its warning.
private_apt() {
    "$@" -o APT::Sandbox::User="$(id -un)" -o Dir::Etc::SourceList="$apt_dir/sources.list" -o Dir::Etc::SourceParts=- \
        -o Dir::State::Lists="$apt_dir/lists" -o Dir::Cache="$apt_dir/cache" -o Acquire::Languages=none
}

current=$(cat "$link/VERSIONS" 2>/dev/null || true)
if ! private_apt apt-get -qq --error-on=any update >&2; then
    [ -n "$current" ] || fail "the source indexes could not be fetched from $mirror and $security"
    say "the source indexes could not be fetched: keeping the sysroot made from $(echo "$current" | paste -s -d ' ')"
    echo "$link"
    exit 0
fi

clang_version=$(dpkg-query -W -f='${Version}' clang-19)
llvm_source=$(dpkg-query -W -f='${source:Version}' clang-19)
# "'URI' FILE SIZE SHA256:HASH" per file, hashes from the signed index.
uris=$(private_apt apt-get -q --print-uris source mingw-w64 "llvm-toolchain-19=$llvm_source" 2>&1) ||
    fail "the mirror has no source of mingw-w64 or of llvm-toolchain-19 $llvm_source (clang-19's own): $uris"
dsc_version() { echo "$uris" | awk -v package="$1" '$2 ~ "^" package "_.*\\.dsc$" { sub(/^[^_]*_/, "", $2); sub(/\.dsc$/, "", $2); print $2 }'; }
mingw_version=$(dsc_version mingw-w64)
llvm_version=$(dsc_version llvm-toolchain-19)
[ -n "$mingw_version" ] && [ -n "$llvm_version" ] || fail "apt named no source versions: $uris"
versions="clang-19 $clang_version
mingw-w64 $mingw_version
llvm-toolchain-19 $llvm_version
recipe $recipe"
if [ "$current" = "$versions" ]; then
    echo "$link"
    exit 0
fi

key=$(printf '%s' "$versions" | sha256sum | cut -c1-12)
tmp=$(mktemp -d "$cache/arm64-sysroot.tmp.XXXXXX")
running=""
trap 'rm -rf "$tmp"' EXIT
# The step running, a process group of its own, is ended first, so that nothing writes into
# the folder once it is removed.
stop() {
    trap '' INT TERM HUP
    [ -z "$running" ] || { kill -TERM "-$running" 2>/dev/null; wait "$running" || true; }
    say "stopped: nothing of this run is kept"
    exit "$1"
}
trap 'stop 130' INT
trap 'stop 143' TERM
trap 'stop 129' HUP
log=$cache/arm64-sysroot.log
: >"$log"
say "making the ARM64 sysroot from $(echo "$versions" | paste -s -d ' ') (log: $log)"
started=$(date +%s)
# Runs one command in the background, so that a signal is handled at once, not after it.
step() {
    say "[$(($(date +%s) - started)) s] $1"
    shift
    setsid "$@" >>"$log" 2>&1 </dev/null &
    running=$!
    wait "$running" || { tail -n 30 "$log" >&2; fail "failed: $* (log: $log)"; }
    running=""
}

# Only the upstream tarballs are used (Debian's patches are for its own packaging); apt's
# downloader checks each against the SHA256 of the signed Sources index, which is what
# apt-get source does for every file, so the .dsc signature (dscverify) adds nothing.
download() {
    echo "$uris" | awk -v package="$1" '$2 ~ "^" package "_.*\\.orig\\.tar\\.[a-z0-9]+$" { print $1, $2, $4 }' |
        while read -r uri file hash; do
            uri=$(echo "$uri" | tr -d "'")
            private_apt /usr/lib/apt/apt-helper download-file "$uri" "$tmp/$file" "$hash" >&2 || exit 1
            echo "$tmp/$file"
        done
}
mingw_tar=$(download mingw-w64) && [ -n "$mingw_tar" ] || fail "could not download mingw-w64 $mingw_version"
llvm_tar=$(download llvm-toolchain-19) && [ -n "$llvm_tar" ] || fail "could not download llvm-toolchain-19 $llvm_version"

src=$tmp/src
mkdir -p "$src/mingw-w64" "$src/llvm"
step "unpacking mingw-w64" tar -xf "$mingw_tar" -C "$src/mingw-w64" --strip-components=1
# Only what the runtimes' build reads: no tests, no benchmarks, of compiler-rt the builtins.
step "unpacking llvm-toolchain-19's runtimes" tar -xf "$llvm_tar" -C "$src/llvm" --strip-components=1 \
    --exclude=test --exclude=benchmarks --wildcards --no-wildcards-match-slash \
    '*/cmake' '*/compiler-rt/cmake' '*/compiler-rt/include' '*/compiler-rt/lib/builtins' \
    '*/libcxx' '*/libcxxabi' '*/libunwind' '*/runtimes' '*/llvm/cmake' '*/llvm/utils/llvm-lit'
rm -f "$mingw_tar" "$llvm_tar"

sysroot=$tmp/sysroot
prefix=$sysroot/$triple
resource_dir=$sysroot/lib/clang/19
mkdir -p "$prefix" "$resource_dir" "$tmp/bin"
# Clang's own headers, beside the builtins built below: clang is pointed at this folder
# with -resource-dir, and /usr/lib/llvm-19 is left as it is.
cp -R "$($llvm_bin/clang -print-resource-dir)/include" "$resource_dir/"
for driver in clang clang++; do
    cat >"$tmp/bin/$triple-$driver" <<EOF
#!/bin/sh
exec $llvm_bin/$driver --target=$triple --sysroot=$sysroot -resource-dir=$resource_dir -rtlib=compiler-rt -unwindlib=libunwind -stdlib=libc++ -fuse-ld=lld -Wno-unused-command-line-argument "\$@"
EOF
    chmod +x "$tmp/bin/$triple-$driver"
done
cc=$tmp/bin/$triple-clang
cxx=$tmp/bin/$triple-clang++
jobs=$(nproc)
build=$tmp/build

mkdir -p "$build/headers" "$build/crt"
cd "$build/headers"
step "mingw-w64 headers: configure" "$src/mingw-w64/mingw-w64-headers/configure" \
    --host=$triple --prefix="$prefix" --with-default-msvcrt=ucrt --disable-dependency-tracking
step "mingw-w64 headers: install" make install

# Cross-compiler tests that link are skipped: the libraries they need are the ones made here.
cross_cmake() {
    what=$1
    shift
    step "$what" cmake -G Ninja -Wno-dev -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_SYSTEM_NAME=Windows -DCMAKE_SYSTEM_PROCESSOR=aarch64 \
        -DCMAKE_C_COMPILER="$cc" -DCMAKE_CXX_COMPILER="$cxx" -DCMAKE_ASM_COMPILER="$cc" \
        -DCMAKE_C_COMPILER_TARGET=$triple -DCMAKE_CXX_COMPILER_TARGET=$triple -DCMAKE_ASM_COMPILER_TARGET=$triple \
        -DCMAKE_AR=$llvm_bin/llvm-ar -DCMAKE_RANLIB=$llvm_bin/llvm-ranlib \
        -DCMAKE_C_COMPILER_WORKS=ON -DCMAKE_CXX_COMPILER_WORKS=ON -DCMAKE_TRY_COMPILE_TARGET_TYPE=STATIC_LIBRARY "$@"
}
cross_cmake "compiler-rt builtins: configure" -S "$src/llvm/compiler-rt/lib/builtins" -B "$build/builtins" \
    -DCMAKE_INSTALL_PREFIX="$resource_dir" -DCOMPILER_RT_INSTALL_PATH="$resource_dir" \
    -DLLVM_ENABLE_PER_TARGET_RUNTIME_DIR=ON -DCOMPILER_RT_DEFAULT_TARGET_ONLY=ON \
    -DLLVM_CMAKE_DIR="$src/llvm/llvm/cmake/modules"
step "compiler-rt builtins: build" ninja -C "$build/builtins" -j "$jobs" install
builtins=$("$cc" -print-libgcc-file-name)
[ -f "$builtins" ] || fail "clang looks for the builtins at $builtins, which the build did not make"

# Only the ARM64 libraries, UCRT by default, without debug information.
cd "$build/crt"
step "mingw-w64 CRT: configure" "$src/mingw-w64/mingw-w64-crt/configure" \
    --host=$triple --prefix="$prefix" --with-sysroot="$sysroot" \
    --enable-libarm64 --disable-lib32 --disable-lib64 --with-default-msvcrt=ucrt --disable-dependency-tracking \
    CC="$cc" AR=$llvm_bin/llvm-ar RANLIB=$llvm_bin/llvm-ranlib DLLTOOL=$llvm_bin/llvm-dlltool CFLAGS=-O2
step "mingw-w64 CRT: build" make -j"$jobs"
step "mingw-w64 CRT: install" make install
cd "$cache"

# libc++abi goes into libc++.a (clang links -lc++ only); Win32 threads: nothing needs winpthreads.
cross_cmake "libunwind, libc++abi, libc++: configure" -S "$src/llvm/runtimes" -B "$build/runtimes" \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DLLVM_ENABLE_RUNTIMES="libunwind;libcxxabi;libcxx" \
    -DLLVM_INCLUDE_TESTS=OFF -DLLVM_INCLUDE_DOCS=OFF \
    -DLIBUNWIND_ENABLE_SHARED=OFF -DLIBUNWIND_USE_COMPILER_RT=ON -DLIBUNWIND_INCLUDE_DOCS=OFF \
    -DLIBCXXABI_ENABLE_SHARED=OFF -DLIBCXXABI_USE_COMPILER_RT=ON -DLIBCXXABI_USE_LLVM_UNWINDER=ON \
    -DLIBCXXABI_HAS_WIN32_THREAD_API=ON -DLIBCXXABI_INCLUDE_TESTS=OFF \
    -DLIBCXX_ENABLE_SHARED=OFF -DLIBCXX_USE_COMPILER_RT=ON -DLIBCXX_CXX_ABI=libcxxabi \
    -DLIBCXX_ENABLE_STATIC_ABI_LIBRARY=ON -DLIBCXX_HAS_WIN32_THREAD_API=ON \
    -DLIBCXX_INCLUDE_TESTS=OFF -DLIBCXX_INCLUDE_BENCHMARKS=OFF -DLIBCXX_INCLUDE_DOCS=OFF
step "libunwind, libc++abi, libc++: build" ninja -C "$build/runtimes" -j "$jobs" install

printf '%s\n' "$versions" >"$sysroot/VERSIONS"
target=$cache/arm64-sysroot-$key
rm -rf "$target"
mv "$sysroot" "$target"
ln -s "$(basename "$target")" "$tmp/link"
mv -T "$tmp/link" "$link"
for old in "$cache"/arm64-sysroot-*; do
    [ "$old" = "$target" ] || rm -rf "$old"
done
say "made $target in $(($(date +%s) - started)) s"
echo "$link"
