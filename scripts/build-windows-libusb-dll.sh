#!/usr/bin/env bash
# Builds libusb-1.0.dll for Windows (x86-64, or 32-bit x86 with the host
# i686-w64-mingw32 as argument or TAVIK_WINDOWS_HOST) from Debian's libusb-1.0 source
# package (the version of the installed Linux package), with its import
# library, into a cache folder of its own:
#   $TAVIK_WINDEPS_CACHE/libusb-dll/<host>/{bin,lib,include}
# libusb is LGPL-2.1-or-later, so taviksat.dll links it dynamically and the
# DLL ships beside it, where a user may replace it. The folder has its own
# stamp, apart from the static dependencies of scripts/build-windows-deps.sh,
# so that adding it never rebuilds that cache in place.
set -euo pipefail

cache=${TAVIK_WINDEPS_CACHE:-$HOME/.cache/tavik-windeps}
host=${1:-${TAVIK_WINDOWS_HOST:-x86_64-w64-mingw32}}
# 32-bit x86 hosts keep the stack aligned to 4 bytes only (see the toolchain).
case $host in
  x86_64-w64-mingw32) target_cflags="" ;;
  i686-w64-mingw32) target_cflags="-mincoming-stack-boundary=2" ;;
  *) echo "unknown Windows host $host" >&2; exit 2 ;;
esac
prefix=$cache/libusb-dll/$host
jobs=${TAVIK_JOBS:-2}

version=$(dpkg-query -W -f='${Version}' libusb-1.0-0-dev 2>/dev/null ||
  apt-cache policy libusb-1.0-0-dev | sed -n 's/^ *Candidate: //p')
# Bump when the recipe below changes.
recipe=1
stamp="recipe=$recipe libusb=$version"
if [ "${TAVIK_WINDEPS_REBUILD:-0}" != 1 ] && [ -f "$prefix/.stamp" ] && [ "$(cat "$prefix/.stamp")" = "$stamp" ]; then
  echo "libusb-1.0.dll up to date in $prefix"
  exit 0
fi

echo "== libusb-1.0 $version as a DLL"
work=$cache/libusb-dll-src-$host
rm -rf "$work" "$prefix"
trap '[ -f "$prefix/.stamp" ] || rm -rf "$prefix"; rm -rf "$work"' EXIT
mkdir -p "$work"
log=$work/build.log
fail() { echo "failed: $1" >&2; tail -n 40 "$log" >&2; exit 1; }

# The wanted version first, then the others apt knows, newest first.
versions=$( { echo "$version"; apt-cache showsrc libusb-1.0 2>/dev/null | sed -n 's/^Version: //p' | sort -r -V; } |
  awk '!seen[$0]++')
dir=""
for v in $versions; do
  rm -rf "${work:?}"/libusb-1.0-*
  if (cd "$work" && apt-get source -qq "libusb-1.0=$v" >"$log" 2>&1); then
    [ "$v" = "$version" ] || echo "   libusb-1.0 $version is not served; using $v" >&2
    dir=$(find "$work" -maxdepth 1 -mindepth 1 -type d -name 'libusb-1.0-*' | head -n1)
    version=$v
    break
  fi
done
[ -n "$dir" ] || fail "apt-get source libusb-1.0"

cd "$dir"
# libgcc linked in: the DLL needs nothing but Windows' own DLLs.
CC=$host-gcc-posix AR=$host-ar RANLIB=$host-ranlib RC=$host-windres LDFLAGS=-static-libgcc \
  CFLAGS="-O2 $target_cflags" \
  ./configure --host=$host --prefix="$prefix" --enable-shared --disable-static \
  --disable-examples-build --disable-tests-build >"$log" 2>&1 || fail "libusb configure"
make -j"$jobs" -C libusb >>"$log" 2>&1 || fail "libusb make"
make -C libusb install >>"$log" 2>&1 || fail "libusb install"
mkdir -p "$prefix/lib/pkgconfig"
cp libusb-1.0.pc "$prefix/lib/pkgconfig/"
[ -f "$prefix/bin/libusb-1.0.dll" ] || fail "no libusb-1.0.dll was built"
echo "$version" >"$prefix/VERSION"
echo "$stamp" >"$prefix/.stamp"
echo "libusb-1.0.dll $version built in $prefix"
