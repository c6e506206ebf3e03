#!/usr/bin/env bash
# Builds the release artefacts from fresh build trees, into dist/ (or --out):
#   taviksat_<version>[-devca]_amd64.deb          library, header, taviksat.pc,
#                                                 CMake package, satcli, the
#                                                 simulator, licence and docs
#   taviksat_<version>[-devca]_amd64-dbgsym.ddeb  their debug symbols
#   taviksat-<version>[-devca]-win64.zip          taviksat.dll, libusb-1.0.dll,
#                                                 satcli.exe, import libraries
#                                                 (MinGW, MSVC), header, licence,
#                                                 notices, README for integrators
#   taviksat-<version>[-devca]-win64-debug.zip    their debug symbols
# The CA certificate the library trusts is required:
#   TAVIK_CA_CERT_PEM=/path/to/maker-ca.pem scripts/package.sh
#   TAVIK_DEVELOPMENT_CA=ON scripts/package.sh     (names carry -devca)
# Options: --deb-only, --zip-only, --out DIR.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$(pwd)
jobs=${TAVIK_JOBS:-2}
out=$root/dist
make_deb=1
make_zip=1
while [ $# -gt 0 ]; do
  case $1 in
    --deb-only) make_zip=0 ;;
    --zip-only) make_deb=0 ;;
    --out) out=$(realpath -m "$2"); shift ;;
    *) echo "usage: $0 [--deb-only|--zip-only] [--out DIR]" >&2; exit 2 ;;
  esac
  shift
done

ca_args=()
if [ -n "${TAVIK_CA_CERT_PEM:-}" ]; then
  ca_args=(-DTAVIK_CA_CERT_PEM="$(realpath "$TAVIK_CA_CERT_PEM")" -DTAVIK_DEVELOPMENT_CA=OFF)
elif [ "${TAVIK_DEVELOPMENT_CA:-OFF}" = ON ]; then
  ca_args=(-DTAVIK_DEVELOPMENT_CA=ON)
else
  echo "Choose the CA certificate the library trusts: TAVIK_CA_CERT_PEM=/path/to/maker-ca.pem" >&2
  echo "(the fiscal-module maker's CA, for packages to deploy) or TAVIK_DEVELOPMENT_CA=ON (tests only)." >&2
  exit 2
fi
common=(-DTAVIK_BUILD_TESTS=OFF -DTAVIK_BUILD_BENCH=OFF -DTAVIK_WERROR=ON "${ca_args[@]}")
mkdir -p "$out"

# Fresh trees: nothing of an earlier configuration leaks into a package.
if [ $make_deb = 1 ]; then
  echo "== Debian package"
  build=build/package-linux
  rm -rf "$build"
  # The release preset's compiler flags, so that its compilations are reused.
  cmake --preset release -B "$build" "${common[@]}" -DCMAKE_INSTALL_PREFIX=/usr >/dev/null
  cmake --build "$build" -j "$jobs"
  (cd "$build" && cpack -G DEB -B "$root/$build/cpack" >/dev/null)
  cp "$build"/cpack/*.deb "$build"/cpack/*.ddeb "$out/"
fi

if [ $make_zip = 1 ]; then
  echo "== Windows zip"
  scripts/build-windows-deps.sh
  build=build/package-windows
  rm -rf "$build"
  # The windows preset's compiler flags (those of scripts/test-windows.sh), so
  # that its compilations are reused; linked with symbols, stripped below.
  cmake --preset windows -B "$build" "${common[@]}" -DTAVIK_LINK_STRIPPED=OFF >/dev/null
  cmake --build "$build" -j "$jobs" --target taviksat satcli
  suffix=$(cat "$build/package-suffix.txt")
  version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
  name=taviksat-$version$suffix-win64
  stage=$build/zip/$name
  debug=$build/zip/$name-debug
  mkdir -p "$stage/bin" "$stage/lib" "$debug/bin"
  cmake --install "$build" --prefix "$build/installed" >/dev/null
  cp "$build"/installed/bin/{taviksat.dll,libusb-1.0.dll} "$build/bin/satcli.exe" "$stage/bin/"
  cp "$build"/installed/lib/{taviksat.dll.a,taviksat.lib} "$stage/lib/"
  cp -r "$build/installed/include" "$stage/"
  cp LICENSE THIRD-PARTY-NOTICES CHANGELOG.md "$stage/"
  cp docs/windows-package-readme.txt "$stage/README.txt"
  # Stripped binaries; their symbols in .debug files that the binaries name.
  for file in taviksat.dll libusb-1.0.dll satcli.exe; do
    x86_64-w64-mingw32-objcopy --only-keep-debug "$stage/bin/$file" "$debug/bin/$file.debug"
    x86_64-w64-mingw32-strip --strip-all "$stage/bin/$file"
    (cd "$debug/bin" && x86_64-w64-mingw32-objcopy --add-gnu-debuglink="$file.debug" "$root/$stage/bin/$file")
  done
  windeps=$(sed -n 's/^TAVIK_WINDEPS_LIBUSB_PREFIX:PATH=//p' "$build/CMakeCache.txt")
  {
    echo "taviksat $version$suffix for Windows x86-64"
    echo "build_id: $(sed -n 's/.*build_id\[8\] = "\(.*\)";/\1/p' "$build/generated/build_id.cpp")"
    echo "CA certificate SHA-256: $(sed -n 's/^TAVIK_CA_FINGERPRINT_TEXT:INTERNAL=//p' "$build/CMakeCache.txt")"
    echo "libusb-1.0.dll: Debian source package libusb-1.0 $(cat "$windeps/VERSION" 2>/dev/null || echo unknown)"
  } | sed 's/$/\r/' >"$stage/BUILD-INFO.txt"
  rm -f "$out/$name.zip" "$out/$name-debug.zip"
  (cd "$build/zip" && zip -q -r -X "$out/$name.zip" "$name" && zip -q -r -X "$out/$name-debug.zip" "$name-debug")
fi

echo "== Artefacts in $out"
ls -l "$out"
