#!/usr/bin/env bash
# Builds zlib, libpng, libogg and libvorbis from the system's own Debian source packages (the same
# versions the engine links everywhere else) with the fuzzers' instrumentation, as static
# libraries under OUT/prefix. The fuzz build links these in place of the system's copies, so
# coverage guides the fuzzers inside the decoders and AddressSanitizer sees their reads.
# Usage: fuzz/instrumented-libs.sh OUT      (does nothing when OUT/prefix is already built)
set -euo pipefail
out=$(realpath -m "$1")
prefix=$out/prefix
stamp=$prefix/.built-1
[ -f "$stamp" ] && exit 0

rm -rf "$out"
mkdir -p "$out/src" "$prefix"
cd "$out/src"
# The four source packages, unpacked with their Debian patches.
for pkg in zlib libpng1.6 libogg libvorbis; do
  apt-get source -qq "$pkg" >/dev/null 2>"$out/src/$pkg.log" || {
    cat "$out/src/$pkg.log"
    echo "instrumented-libs: cannot get the source package $pkg (is deb-src configured? see scripts/install-deps)"
    exit 1
  }
done
dir_of() { find . -maxdepth 1 -type d -name "$1-*" | head -1; }

export CC=clang
export CFLAGS="-O1 -g -fPIC -fno-omit-frame-pointer -fsanitize=fuzzer-no-link,address"
export LDFLAGS="-fsanitize=address -L$prefix/lib"
export CPPFLAGS="-I$prefix/include"
export PKG_CONFIG_PATH=$prefix/lib/pkgconfig
jobs=$(nproc)
build() {  # build DIR CONFIGURE-ARGS...: configure, make and install one package quietly
  local dir=$1; shift
  (cd "$dir" && ./configure --prefix="$prefix" "$@" >"$out/$(basename "$dir").configure.log" 2>&1 &&
    make -j "$jobs" >"$out/$(basename "$dir").make.log" 2>&1 && make install >/dev/null 2>&1) || {
    tail -30 "$out/$(basename "$dir")".*.log
    echo "instrumented-libs: building $dir failed"
    exit 1
  }
}
build "$(dir_of zlib)" --static
build "$(dir_of libpng1.6)" --disable-shared --enable-static
build "$(dir_of libogg)" --disable-shared --enable-static
build "$(dir_of libvorbis)" --disable-shared --enable-static --disable-docs --disable-examples
touch "$stamp"
echo "instrumented-libs: zlib, libpng, libogg and libvorbis built into $prefix"
