#!/usr/bin/env bash
# Builds the static Windows libraries taviksat.dll links against, from
# Debian's own packages, into a cache folder outside the repo, one folder per
# target: usage: build-windows-deps.sh [HOST], or TAVIK_WINDOWS_HOST=HOST;
# HOST is x86_64-w64-mingw32 (the default) or i686-w64-mingw32 (32-bit x86).
#   zlib        Debian's mingw zlib package (static archive copied)
#   libusb-1.0  Debian's source package, cross-configured, static (no longer
#               linked: taviksat.dll uses libusb-1.0.dll, which
#               scripts/build-windows-libusb-dll.sh builds in a folder of its
#               own, so this cache's recipe and stamp stay as they were)
#   OpenSSL 3   Debian's source package, static, no tests/engines/modules,
#               and not pinning itself in memory: linked into taviksat.dll it
#               would otherwise keep the DLL loaded after FreeLibrary
#   fmt         Debian's source package (the library's formatting)
#   GoogleTest  Debian's bundled sources (/usr/src/googletest), for the tests
# Each source package is pinned to the version of the matching Linux package
# installed on this machine, so both builds use the same code.
# The cache is reused when its stamp matches; TAVIK_WINDEPS_REBUILD=1 forces.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
cache=${TAVIK_WINDEPS_CACHE:-$HOME/.cache/tavik-windeps}
host=${1:-${TAVIK_WINDOWS_HOST:-x86_64-w64-mingw32}}
prefix=$cache/$host
jobs=${TAVIK_JOBS:-2}
toolchain=$here/../cmake/toolchains/$host.cmake

"$here/install-windows-deps.sh" "$host"
"$here/build-windows-libusb-dll.sh" "$host"

# What differs between the targets: OpenSSL's Configure target, and for
# 32-bit x86 code that keeps working on the 4-byte-aligned stacks of 32-bit
# hosts (GCC would otherwise assume 16 bytes on entry; the toolchain file
# adds the same flag to what CMake builds).
case $host in
  x86_64-w64-mingw32) openssl_target=mingw64 target_cflags="" ;;
  i686-w64-mingw32) openssl_target=mingw target_cflags="-mincoming-stack-boundary=2" ;;
  *) echo "unknown Windows host $host" >&2; exit 2 ;;
esac

installed_version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null; }
candidate_version() { apt-cache policy "$1" | sed -n 's/^ *Candidate: //p'; }
pick_version() { local v; v=$(installed_version "$1"); [ -n "$v" ] || v=$(candidate_version "$1"); echo "$v"; }

libusb_version=$(pick_version libusb-1.0-0-dev)
openssl_version=$(pick_version libssl-dev)
fmt_version=$(pick_version libfmt-dev)
zlib_version=$(installed_version libz-mingw-w64-dev)
gtest_version=$(pick_version googletest)
# Bump when the recipe below changes, so that caches are rebuilt.
recipe=2
stamp="recipe=$recipe libusb=$libusb_version openssl=$openssl_version fmt=$fmt_version zlib=$zlib_version gtest=$gtest_version"

if [ "${TAVIK_WINDEPS_REBUILD:-0}" != 1 ] && [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ]; then
  echo "Windows dependencies up to date in $prefix"
  exit 0
fi

started=$(date +%s)
work=$cache/src-$host
# Everything is installed under $prefix, which only a finished build leaves
# behind: a failed run removes it, so that no half-built cache is reused.
rm -rf "$work" "$prefix"
trap '[ -f "$prefix/.stamp" ] || rm -rf "$prefix"' EXIT
mkdir -p "$work" "$prefix/lib/pkgconfig" "$prefix/include"

# Runs a build step with its output in a log; shows the log's end on failure.
quietly() { # log-name command...
  local log=$work/$1.log; shift
  "$@" >"$log" 2>&1 || { echo "failed: $*" >&2; tail -n 40 "$log" >&2; return 1; }
}

export CC=$host-gcc-posix CXX=$host-g++-posix AR=$host-ar RANLIB=$host-ranlib RC=$host-windres

echo "== zlib $zlib_version (Debian mingw package)"
cp /usr/$host/include/zlib.h /usr/$host/include/zconf.h "$prefix/include/"
cp /usr/$host/lib/libz.a "$prefix/lib/"
sed "s|^prefix=.*|prefix=$prefix|" /usr/$host/lib/pkgconfig/zlib.pc >"$prefix/lib/pkgconfig/zlib.pc"

# Unpacks a Debian source package into $work and prints its directory. The
# wanted version comes first; when the archive no longer serves it (a mirror
# snapshot can lag the installed security update), the other versions apt
# knows are tried, newest first, and the one used is reported.
fetch_source() { # package wanted-version directory-prefix
  local versions version
  versions=$( { echo "$2"; apt-cache showsrc "$1" 2>/dev/null | sed -n 's/^Version: //p' | sort -u |
    while read -r v; do echo "$v"; done | sort -r -V; } | awk '!seen[$0]++')
  for version in $versions; do
    rm -rf "${work:?}/$3"*
    if (cd "$work" && apt-get source -qq "$1=$version" >"$work/$1.log" 2>&1); then
      [ "$version" = "$2" ] || echo "   $1 $2 is not served; using $version" >&2
      find "$work" -maxdepth 1 -mindepth 1 -type d -name "$3*" | head -n1
      return 0
    fi
  done
  echo "apt-get source $1 failed:" >&2; cat "$work/$1.log" >&2
  return 1
}

echo "== libusb-1.0 $libusb_version"
dir=$(fetch_source libusb-1.0 "$libusb_version" libusb-1.0-)
cd "$dir"
export CFLAGS="-g -O2${target_cflags:+ $target_cflags}"  # libusb's own default, plus the target's
quietly libusb-configure ./configure --host=$host --prefix="$prefix" --enable-static --disable-shared \
  --disable-examples-build --disable-tests-build
quietly libusb-make make -j"$jobs" -C libusb
quietly libusb-install make -C libusb install
cp libusb-1.0.pc "$prefix/lib/pkgconfig/"
unset CFLAGS
cd "$work"

echo "== OpenSSL $openssl_version"
dir=$(fetch_source openssl "$openssl_version" openssl-)
cd "$dir"
if [ "$host" = i686-w64-mingw32 ]; then
  # Debian's pic.patch makes the 32-bit x86 assembly reach its helpers
  # through the ELF GOT and PLT, which a Windows (COFF) object cannot
  # express: the Windows build takes the assembly as OpenSSL ships it.
  quietly openssl-unpatch patch -R -p1 -i debian/patches/pic.patch
fi
quietly openssl-configure ./Configure $openssl_target $target_cflags --cross-compile-prefix= --prefix="$prefix" --libdir=lib \
  no-shared no-tests no-engine no-module no-pinshared
quietly openssl-make make -j"$jobs" build_libs
quietly openssl-install make install_dev
cd "$work"

echo "== fmt $fmt_version"
dir=$(fetch_source fmtlib "$fmt_version" fmtlib-)
quietly fmt-configure cmake -S "$dir" -B "$work/fmt-build" -G Ninja -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
  -DTAVIK_WINDEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX="$prefix" \
  -DFMT_TEST=OFF -DFMT_DOC=OFF
quietly fmt-build cmake --build "$work/fmt-build" -j"$jobs"
quietly fmt-install cmake --install "$work/fmt-build"

echo "== GoogleTest $gtest_version"
quietly gtest-configure cmake -S /usr/src/googletest -B "$work/gtest-build" -G Ninja \
  -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DTAVIK_WINDEPS_PREFIX="$prefix" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_INSTALL_PREFIX="$prefix"
quietly gtest-build cmake --build "$work/gtest-build" -j"$jobs"
quietly gtest-install cmake --install "$work/gtest-build"

rm -rf "$work"
echo "$stamp" >"$prefix/.stamp"
echo "Windows dependencies built in $prefix in $(( $(date +%s) - started )) s"
