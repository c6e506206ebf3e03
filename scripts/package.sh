#!/usr/bin/env bash
# Builds the release artefacts from fresh build trees, into dist/ (or --out):
#   taviksat_<version>[-devca]_amd64.deb          library, header, taviksat.pc,
#                                                 CMake package, satcli, the
#                                                 simulator, licence and docs
#   taviksat_<version>[-devca]_amd64-dbgsym.ddeb  their debug symbols
#   taviksat-<version>[-devca]-windows.zip        one folder per Windows variant
#                                                 (x64, x86-cdecl, x86-stdcall)
#                                                 with taviksat.dll,
#                                                 libusb-1.0.dll, satcli.exe and
#                                                 the import libraries (MinGW,
#                                                 MSVC); one header, licence,
#                                                 notices, README for integrators
#   taviksat-<version>[-devca]-windows-debug.zip  their debug symbols, by variant
# The CA certificate the library trusts is required:
#   TAVIK_CA_CERT_PEM=/path/to/maker-ca.pem scripts/package.sh
#   TAVIK_DEVELOPMENT_CA=ON scripts/package.sh     (names carry -devca)
# Options: --deb-only, --zip-only, --out DIR. TAVIK_WINDOWS_VARIANTS (default
# "x64 x86-cdecl x86-stdcall") restricts the zip's variants.
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
  # One build tree per variant, with the preset of scripts/test-windows.sh's
  # tree, so that its compilations are reused; linked with symbols, stripped
  # below.
  variants=${TAVIK_WINDOWS_VARIANTS:-x64 x86-cdecl x86-stdcall}
  for variant in $variants; do
    case $variant in
      x64 | x86-cdecl | x86-stdcall) ;;
      *) echo "unknown Windows variant $variant (x64, x86-cdecl or x86-stdcall)" >&2; exit 2 ;;
    esac
  done
  name="" stage="" debug=""
  for variant in $variants; do
    echo "== Windows, $variant"
    case $variant in
      x64) preset=windows host=x86_64-w64-mingw32 ;;
      *) preset=windows-$variant host=i686-w64-mingw32 ;;
    esac
    scripts/build-windows-deps.sh "$host"
    build=build/package-windows-$variant
    rm -rf "$build"
    cmake --preset "$preset" -B "$build" "${common[@]}" -DTAVIK_LINK_STRIPPED=OFF >/dev/null
    # Everything that is installed, not just taviksat and satcli: the
    # x86-stdcall tree rewrites its MinGW import library in a target of its
    # own, after the DLL is linked.
    cmake --build "$build" -j "$jobs"
    if [ -z "$name" ]; then
      suffix=$(cat "$build/package-suffix.txt")
      version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
      fingerprint=$(sed -n 's/^TAVIK_CA_FINGERPRINT_TEXT:INTERNAL=//p' "$build/CMakeCache.txt")
      name=taviksat-$version$suffix-windows
      stage=build/package-windows/zip/$name
      debug=build/package-windows/zip/$name-debug
      rm -rf build/package-windows
      mkdir -p "$stage" "$debug"
    fi
    cmake --install "$build" --prefix "$build/installed" >/dev/null
    # One header for all variants: each tree installs the same file.
    if [ -d "$stage/include" ]; then
      diff -r "$stage/include" "$build/installed/include" >/dev/null ||
        { echo "$variant installs another header than the other variants" >&2; exit 1; }
    else
      cp -r "$build/installed/include" "$stage/"
    fi
    mkdir -p "$stage/$variant/bin" "$stage/$variant/lib" "$debug/$variant/bin"
    cp "$build"/installed/bin/{taviksat.dll,libusb-1.0.dll} "$build/bin/satcli.exe" "$stage/$variant/bin/"
    cp "$build"/installed/lib/{taviksat.dll.a,taviksat.lib} "$stage/$variant/lib/"
    # Stripped binaries; their symbols in .debug files that the binaries name.
    for file in taviksat.dll libusb-1.0.dll satcli.exe; do
      binary=$root/$stage/$variant/bin/$file
      "$host-objcopy" --only-keep-debug "$binary" "$debug/$variant/bin/$file.debug"
      "$host-strip" --strip-all "$binary"
      (cd "$debug/$variant/bin" && "$host-objcopy" --add-gnu-debuglink="$file.debug" "$binary")
    done
    windeps=$(sed -n 's/^TAVIK_WINDEPS_LIBUSB_PREFIX:PATH=//p' "$build/CMakeCache.txt")
    case $variant in
      x64) what="64-bit (x86-64) hosts" ;;
      x86-cdecl) what="32-bit (x86) hosts, __cdecl exports" ;;
      x86-stdcall) what="32-bit (x86) hosts, __stdcall exports" ;;
    esac
    {
      echo "$variant: $what"
      echo "$variant build_id: $(sed -n 's/.*build_id\[8\] = "\(.*\)";/\1/p' "$build/generated/build_id.cpp")"
      echo "$variant libusb-1.0.dll: Debian source package libusb-1.0 $(cat "$windeps/VERSION" 2>/dev/null || echo unknown)"
    } >>"$stage/.variants"
  done
  cp LICENSE THIRD-PARTY-NOTICES CHANGELOG.md "$stage/"
  cp docs/windows-package-readme.txt "$stage/README.txt"
  {
    echo "taviksat $version$suffix for Windows"
    echo "CA certificate SHA-256: $fingerprint"
    cat "$stage/.variants"
  } | sed 's/$/\r/' >"$stage/BUILD-INFO.txt"
  rm "$stage/.variants"
  rm -f "$out/$name.zip" "$out/$name-debug.zip"
  (cd build/package-windows/zip && zip -q -r -X "$out/$name.zip" "$name" && zip -q -r -X "$out/$name-debug.zip" "$name-debug")
fi

echo "== Artefacts in $out"
ls -l "$out"
