#!/usr/bin/env bash
# Builds taviksat.dll for Windows x86-64 with mingw-w64 and runs its tests
# under Wine, the network ones against the Linux-built simulator on
# loopback. One command from a clean clone:
#   scripts/test-windows.sh
# Artefacts: build/windows/bin/taviksat.dll (with libusb-1.0.dll and
# satcli.exe; trusting the development CA, for tests), the import
# libraries build/windows/lib/taviksat.dll.a (MinGW) and taviksat.lib (MSVC),
# and a host-ready copy with the header under build/windows/dist.
# TAVIK_WINDOWS_BUILD_ONLY=1 stops after the build (refused under CI, where
# the Wine tests must run).
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${TAVIK_JOBS:-2}
if [ "${TAVIK_WINDOWS_BUILD_ONLY:-0}" = 1 ] && [ -n "${CI:-}" ]; then
  echo "test-windows.sh: TAVIK_WINDOWS_BUILD_ONLY=1 under CI; the Wine tests must run" >&2
  exit 1
fi

started=$(date +%s)
scripts/build-windows-deps.sh

echo "== Linux simulator for the Wine network tests"
cmake -S . -B build/win-host -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O2 -DNDEBUG" \
  -DTAVIK_BUILD_TESTS=OFF -DTAVIK_BUILD_BENCH=OFF -DTAVIK_WERROR=ON -DTAVIK_DEVELOPMENT_CA=ON >/dev/null
cmake --build build/win-host --target tavik-simulator -j "$jobs" >/dev/null

echo "== taviksat.dll"
cmake --preset windows -DTAVIK_HOST_SIMULATOR="$root/build/win-host/simulator/tavik-simulator" >/dev/null
cmake --build --preset windows -j "$jobs"
rm -rf build/windows/dist
cmake --install build/windows --prefix build/windows/dist --strip >/dev/null
ls -l build/windows/dist/bin/taviksat.dll
[ "${TAVIK_WINDOWS_BUILD_ONLY:-0}" = 1 ] && exit 0

echo "== Tests under Wine"
# A throw-away Wine prefix; its wineserver is started (by wineboot) and
# stopped here, inside the same network namespace as the tests, because Wine
# creates the sockets in the wineserver.
prefix=$(mktemp -d "${TMPDIR:-/tmp}/tavik-wine.XXXXXX")
trap 'rm -rf "$prefix"' EXIT
WINEPREFIX=$prefix WINEDEBUG=-all WINE=/usr/lib/wine/wine64 WINESERVER=/usr/lib/wine/wineserver \
  scripts/in-private-network.sh bash -c '
    source scripts/lib/tally.sh
    "$WINE" wineboot --init >/dev/null 2>&1
    status=0
    tally_ctest ctest --test-dir build/windows --output-on-failure || status=$?
    "$WINESERVER" -k 2>/dev/null
    exit $status'
echo "== Windows tests passed in $(( $(date +%s) - started )) s"
