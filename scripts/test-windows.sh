#!/usr/bin/env bash
# Builds taviksat.dll for Windows with mingw-w64, in three variants, and runs
# their tests under Wine, the network ones against the Linux-built simulator
# on loopback. One command from a clean clone:
#   scripts/test-windows.sh
# The variants (TAVIK_WINDOWS_VARIANTS, default all three, in this order):
#   x64          x86-64, preset windows, build/windows
#   x86-cdecl    32-bit x86, __cdecl exports, build/windows-x86-cdecl
#   x86-stdcall  32-bit x86, __stdcall exports, build/windows-x86-stdcall
# Artefacts of each: <build>/bin/taviksat.dll (with libusb-1.0.dll and
# satcli.exe; trusting the development CA, for tests), the import libraries
# <build>/lib/taviksat.dll.a (MinGW) and taviksat.lib (MSVC), and a
# host-ready copy with the header under <build>/dist.
# TAVIK_WINDOWS_BUILD_ONLY=1 stops after the builds (refused under CI, where
# the Wine tests must run).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${TAVIK_JOBS:-2}
if [ "${TAVIK_WINDOWS_BUILD_ONLY:-0}" = 1 ] && [ -n "${CI:-}" ]; then
  echo "test-windows.sh: TAVIK_WINDOWS_BUILD_ONLY=1 under CI; the Wine tests must run" >&2
  exit 1
fi
variants=${TAVIK_WINDOWS_VARIANTS:-x64 x86-cdecl x86-stdcall}

preset_of() {
  case $1 in
    x64) echo windows ;;
    x86-cdecl | x86-stdcall) echo "windows-$1" ;;
    *) echo "unknown Windows variant $1 (x64, x86-cdecl or x86-stdcall)" >&2; return 1 ;;
  esac
}
host_of() { case $1 in x64) echo x86_64-w64-mingw32 ;; *) echo i686-w64-mingw32 ;; esac; }

started=$(date +%s)
hosts=""
for variant in $variants; do
  preset_of "$variant" >/dev/null
  host=$(host_of "$variant")
  case " $hosts " in *" $host "*) ;; *) hosts="$hosts $host" ;; esac
done
for host in $hosts; do
  scripts/build-windows-deps.sh "$host"
done

echo "== Linux simulator for the Wine network tests"
cmake -S . -B build/win-host -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DTAVIK_BUILD_TESTS=OFF -DTAVIK_BUILD_BENCH=OFF -DTAVIK_WERROR=ON -DTAVIK_DEVELOPMENT_CA=ON >/dev/null
cmake --build build/win-host --target tavik-simulator -j "$jobs" >/dev/null

build_dirs=""
for variant in $variants; do
  preset=$(preset_of "$variant")
  build=build/$preset
  echo "== taviksat.dll, $variant"
  variant_started=$(date +%s)
  cmake --preset "$preset" -DTAVIK_HOST_SIMULATOR="$root/build/win-host/simulator/tavik-simulator" >/dev/null
  cmake --build --preset "$preset" -j "$jobs"
  rm -rf "$build/dist"
  cmake --install "$build" --prefix "$build/dist" --strip >/dev/null
  ls -l "$build/dist/bin/taviksat.dll"
  echo "   $variant built in $(( $(date +%s) - variant_started )) s"
  build_dirs="$build_dirs $build"
done
[ "${TAVIK_WINDOWS_BUILD_ONLY:-0}" = 1 ] && exit 0

echo "== Tests under Wine"
# One throw-away Wine prefix for all variants: a 64-bit one, where Wine's
# 32-bit side runs the x86 programs (WoW64, as on 64-bit Windows). Its
# wineserver is started (by wineboot) and stopped here, inside the same
# network namespace as the tests, because Wine creates the sockets in the
# wineserver.
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tavik-wine.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
WINEPREFIX=$prefix WINEDEBUG=-all WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver \
  scripts/in-private-network.sh bash -c '
    source scripts/lib/tally.sh
    "$WINE" wineboot --init >/dev/null 2>&1
    status=0
    for build in "$@"; do
      echo "== $build"
      build_started=$(date +%s)
      tally_ctest ctest --test-dir "$build" --output-on-failure || status=1
      echo "   $build tested in $(( $(date +%s) - build_started )) s"
    done
    "$WINESERVER" -k 2>/dev/null
    exit $status' bash $build_dirs
echo "== Windows tests passed in $(( $(date +%s) - started )) s"
