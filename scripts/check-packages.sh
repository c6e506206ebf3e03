#!/usr/bin/env bash
# Checks the artefacts of scripts/package.sh in DIR:
#  - the .deb holds the library with its SONAME links, the header, taviksat.pc,
#    the CMake package, satcli, the simulator and the licence texts; its
#    Depends name OpenSSL, zlib and libusb; the library's NEEDED entries are
#    only the allowed system libraries; binaries are stripped, and the
#    -dbgsym package holds their debug symbols;
#  - the Windows zip holds one header, the licence, the notices, the README
#    and BUILD-INFO.txt, and for each variant (x64, x86-cdecl, x86-stdcall) a
#    folder with the DLL, libusb-1.0.dll, satcli.exe and both import
#    libraries: binaries of the variant's machine type, stripped, their
#    symbols in the debug zip; the DLL exports exactly the names of
#    src/exports.map, undecorated, names its variant in its version resource
#    and imports only Windows DLLs and libusb-1.0.dll; a consumer links
#    against the variant's MinGW import library;
#  - with --maker-ca PEM: no file of any artefact contains the development
#    CA (its PEM lines, DER bytes or fingerprint), while the library does
#    contain the maker's CA, which shows that the scan sees the certificate.
# With --zip-only DIR holds only the Windows zips (scripts/package.sh
# --zip-only).
#   scripts/check-packages.sh DIR [--maker-ca PEM] [--zip-only]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath "$1")
shift
maker_ca=""
want_deb=1
while [ $# -gt 0 ]; do
  case $1 in
    --maker-ca) maker_ca=$(realpath "$2"); shift ;;
    --zip-only) want_deb=0 ;;
    *) echo "usage: $0 DIR [--maker-ca PEM] [--zip-only]" >&2; exit 2 ;;
  esac
  shift
done
work=$(mktemp -d "${TMPDIR:-/tmp}/tavik-package-check.XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
has() { grep -qxF -- "$2" "$1" || fail "$(basename "$1" .list) lacks $2"; }

# ca_markers PEM OUT: texts by which a certificate is recognised in a file.
ca_markers() {
  sed -e 's/\r$//' "$1" | grep -v -- '-----' | awk 'length($0) >= 60' >"$2"
  local fingerprint
  fingerprint=$(openssl x509 -in "$1" -noout -fingerprint -sha256 | sed 's/.*=//')
  for text in "$fingerprint" "${fingerprint//:/}"; do
    echo "$text"
    echo "$text" | tr 'A-F' 'a-f'
  done >>"$2"
  # 40 bytes of the DER from the middle of the public key, when free of newlines.
  openssl x509 -in "$1" -outform DER | tail -c +300 | head -c 40 >"$work/slice"
  if [ "$(tr -dc '\n' <"$work/slice" | wc -c)" -eq 0 ]; then cat "$work/slice" >>"$2"; echo >>"$2"; fi
}
files_containing() { LC_ALL=C grep -r -l -a -F -f "$1" "$2" || true; }

deb=$(find "$dir" -maxdepth 1 -name 'taviksat_*.deb' | head -n1)
ddeb=$(find "$dir" -maxdepth 1 -name 'taviksat_*-dbgsym.ddeb' | head -n1)
zip=$(find "$dir" -maxdepth 1 -name 'taviksat-*-windows.zip' | head -n1)
debug_zip=$(find "$dir" -maxdepth 1 -name 'taviksat-*-windows-debug.zip' | head -n1)
[ -n "$deb" ] || [ $want_deb = 0 ] || fail "no .deb in $dir"
[ -n "$zip" ] || fail "no Windows zip in $dir"

if [ -n "$deb" ]; then
  echo "== $(basename "$deb")"
  dpkg-deb -x "$deb" "$work/deb"
  (cd "$work/deb" && find . -mindepth 1 | sed 's|^\./||' | sort) >"$work/deb.list"
  lib=usr/lib/x86_64-linux-gnu
  version=$(dpkg-deb -f "$deb" Version)
  for path in "$lib/libtaviksat.so.$version" "$lib/libtaviksat.so.1" "$lib/libtaviksat.so" \
      usr/include/taviksat/taviksat.h "$lib/pkgconfig/taviksat.pc" "$lib/cmake/taviksat/taviksat-config.cmake" \
      "$lib/cmake/taviksat/taviksat-config-version.cmake" "$lib/cmake/taviksat/taviksat-targets.cmake" \
      usr/bin/satcli usr/bin/tavik-simulator usr/share/doc/taviksat/LICENSE \
      usr/share/doc/taviksat/THIRD-PARTY-NOTICES usr/share/doc/taviksat/integrators.md; do
    has "$work/deb.list" "$path"
  done
  [ "$(readlink "$work/deb/$lib/libtaviksat.so.1")" = "libtaviksat.so.$version" ] || fail "libtaviksat.so.1 link"
  [ "$(readlink "$work/deb/$lib/libtaviksat.so")" = "libtaviksat.so.1" ] || fail "libtaviksat.so link"
  so=$work/deb/$lib/libtaviksat.so.$version
  soname=$(readelf -d "$so" | sed -n 's/.*(SONAME).*\[\(.*\)\]/\1/p')
  [ "$soname" = libtaviksat.so.1 ] || fail "SONAME is '$soname'"
  needed=$(readelf -d "$so" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | sort | tr '\n' ' ')
  # ld-linux (glibc's dynamic loader, for thread-local storage) is part of libc.
  allowed=" ld-linux-x86-64.so.2 libc.so.6 libcrypto.so.3 libgcc_s.so.1 libm.so.6 libssl.so.3 libstdc++.so.6"
  allowed+=" libusb-1.0.so.0 libz.so.1 "
  for entry in $needed; do
    [[ "$allowed" == *" $entry "* ]] || fail "libtaviksat needs $entry (allowed:$allowed)"
  done
  depends=$(dpkg-deb -f "$deb" Depends)
  for package in libssl3 libusb-1.0-0 zlib1g libstdc++6 libc6; do
    [[ "$depends" == *"$package"* ]] || fail "Depends lacks $package: $depends"
  done
  for binary in "$so" "$work/deb/usr/bin/satcli" "$work/deb/usr/bin/tavik-simulator"; do
    # Read whole first: under pipefail an early-exiting grep would hide a match.
    sections=$(readelf -S "$binary")
    grep -q '\.debug_info' <<<"$sections" && fail "$(basename "$binary") is not stripped"
    grep -q '\.symtab' <<<"$sections" && fail "$(basename "$binary") keeps its symbol table"
  done
  if [ -n "$ddeb" ]; then
    dpkg-deb -x "$ddeb" "$work/ddeb"
    count=$(find "$work/ddeb/usr/lib/debug" -name '*.debug' | wc -l)
    [ "$count" -ge 3 ] || fail "the dbgsym package holds $count .debug files, expected 3"
  else
    fail "no dbgsym package beside the .deb"
  fi
  echo "   Depends: $depends"
  echo "   NEEDED: $needed"
fi

if [ -n "$zip" ]; then
  echo "== $(basename "$zip")"
  mkdir -p "$work/zip"
  (cd "$work/zip" && unzip -q "$zip")
  top=$(basename "$zip" .zip)
  unpacked=$work/zip/$top
  (cd "$unpacked" && find . -mindepth 1 | sed 's|^\./||' | sort) >"$work/zip.list"
  for path in include/taviksat/taviksat.h LICENSE THIRD-PARTY-NOTICES README.txt CHANGELOG.md BUILD-INFO.txt; do
    has "$work/zip.list" "$path"
  done
  zip_version=$(basename "$zip" | sed -n 's/^taviksat-\([0-9.]*\).*/\1/p')
  if [ -n "$debug_zip" ]; then
    mkdir -p "$work/debug-zip"
    (cd "$work/debug-zip" && unzip -q "$debug_zip")
  else
    fail "no debug zip beside the Windows zip"
  fi
  # The 36 names the DLL exports, as in src/exports.map.
  sed -n '/global:/,/local:/p' "$root/src/exports.map" | grep -o '[A-Za-z_][A-Za-z_0-9]*' |
    grep -vx -e global -e local | sort >"$work/exports.expected"
  [ "$(wc -l <"$work/exports.expected")" -eq 36 ] || fail "src/exports.map does not list 36 names"
  # Variant: its compiler prefix, objdump's file format and the text its
  # version resource's description carries.
  while read -r variant host format description; do
    echo "-- $variant"
    for path in bin/taviksat.dll bin/libusb-1.0.dll bin/satcli.exe lib/taviksat.dll.a lib/taviksat.lib; do
      has "$work/zip.list" "$variant/$path"
    done
    grep -q "^$variant build_id: [0-9a-f]\{7\}" "$unpacked/BUILD-INFO.txt" || fail "BUILD-INFO.txt has no build_id for $variant"
    bin=$unpacked/$variant/bin
    dll=$bin/taviksat.dll
    [ -f "$dll" ] || continue
    for binary in taviksat.dll libusb-1.0.dll satcli.exe; do
      [ -f "$bin/$binary" ] || continue
      # Another machine's file is not even read by this objdump: reported here.
      headers=$("$host-objdump" -f "$bin/$binary" 2>&1 || true)
      grep -q "file format $format\$" <<<"$headers" || fail "$variant/bin/$binary is not $format: $headers"
      sections=$("$host-objdump" -h "$bin/$binary" 2>/dev/null || true)
      grep -q '\.debug_info' <<<"$sections" && fail "$variant/bin/$binary is not stripped"
      [ -f "$work/debug-zip/$top-debug/$variant/bin/$binary.debug" ] || fail "the debug zip lacks $variant/bin/$binary.debug"
    done
    if [ -d "$work/debug-zip" ]; then
      count=$(find "$work/debug-zip/$top-debug/$variant" -name '*.debug' 2>/dev/null | wc -l)
      [ "$count" -eq 3 ] || fail "the debug zip holds $count .debug files for $variant, expected 3"
    fi
    private=$("$host-objdump" -p "$dll" 2>/dev/null || true)
    sed -n '/^\[Ordinal\/Name Pointer\] Table/,/^$/s/^\t\[ *[0-9]*\] //p' <<<"$private" | sort >"$work/exports.$variant"
    diff -u "$work/exports.expected" "$work/exports.$variant" >"$work/exports.diff" ||
      fail "$variant/bin/taviksat.dll exports other names than src/exports.map (a @ is decoration): $(cat "$work/exports.diff")"
    imports=$(sed -n 's/^\tDLL Name: //p' <<<"$private" | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
    [[ " $imports" == *" libusb-1.0.dll "* ]] || fail "$variant taviksat.dll does not import libusb-1.0.dll: $imports"
    for import in $imports; do
      case $import in
        libusb-1.0.dll|advapi32.dll|bcrypt.dll|crypt32.dll|kernel32.dll|msvcrt.dll|ntdll.dll|user32.dll|ws2_32.dll|\
        setupapi.dll|ole32.dll|shell32.dll|gdi32.dll|winusb.dll|api-ms-win-*) ;;
        *) fail "$variant taviksat.dll imports $import" ;;
      esac
    done
    # The version resource: its UTF-16 strings hold the version, the
    # licence and the variant, and the development CA's warning exactly
    # when the zip is named -devca.
    strings -el "$dll" >"$work/dll.strings"
    grep -qxF "$zip_version" "$work/dll.strings" || fail "$variant taviksat.dll has no version resource for $zip_version"
    grep -qF "Apache License 2.0" "$work/dll.strings" || fail "$variant taviksat.dll's version resource names no licence"
    described=$(grep -F "taviksat: driver library" "$work/dll.strings" || true)
    [[ "$described" == *"($description)"* ]] || fail "$variant taviksat.dll's description lacks ($description): $described"
    warns=no devca=no
    [[ "$described" == *"DEVELOPMENT CA"* ]] && warns=yes
    [[ "$top" == *-devca-* ]] && devca=yes
    [ "$warns" = "$devca" ] || fail "$variant taviksat.dll: zip named -devca: $devca, description warns of the development CA: $warns"
    echo "   $format; imports: $imports"
    "$root/scripts/check-consumers.sh" --mingw "$variant" "$unpacked" </dev/null || fail "the consumer does not link against $variant"
  done <<'VARIANTS'
x64 x86_64-w64-mingw32 pei-x86-64 x64
x86-cdecl i686-w64-mingw32 pei-i386 x86, __cdecl exports
x86-stdcall i686-w64-mingw32 pei-i386 x86, __stdcall exports
VARIANTS
  # Nothing but the three variants' folders beside the shared files.
  while read -r path; do
    case $path in
      x64 | x64/* | x86-cdecl | x86-cdecl/* | x86-stdcall | x86-stdcall/* | include | include/*) ;;
      LICENSE | THIRD-PARTY-NOTICES | README.txt | CHANGELOG.md | BUILD-INFO.txt) ;;
      *) fail "the zip holds $path, beside the variants' folders and the shared files" ;;
    esac
  done <"$work/zip.list"
fi

if [ -n "$maker_ca" ]; then
  echo "== development CA in the artefacts"
  ca_markers "$root/certs/development-only/ca-cert.pem" "$work/devca.markers"
  ca_markers "$maker_ca" "$work/maker.markers"
  for artefact in deb ddeb zip debug-zip; do
    [ -d "$work/$artefact" ] || continue
    found=$(files_containing "$work/devca.markers" "$work/$artefact")
    [ -z "$found" ] || fail "the development CA is in: $found"
  done
  for artefact in deb zip; do
    [ -d "$work/$artefact" ] || continue
    [ -n "$(files_containing "$work/maker.markers" "$work/$artefact")" ] ||
      fail "the maker's CA was not found in the $artefact: the scan would not see a CA"
  done
  case "${deb##*/} ${zip##*/}" in *devca*) fail "a maker-CA artefact is named -devca" ;; esac
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures package check(s) failed" >&2
  exit 1
fi
echo "== package contents as expected"
