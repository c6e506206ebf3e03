#!/usr/bin/env bash
# Checks the artefacts of scripts/package.sh in DIR:
#  - the .deb holds the library with its SONAME links, the header, taviksat.pc,
#    the CMake package, satcli, the simulator and the licence texts; its
#    Depends name OpenSSL, zlib and libusb; the library's NEEDED entries are
#    only the allowed system libraries; binaries are stripped, and the
#    -dbgsym package holds their debug symbols;
#  - the Windows zip holds the DLL, libusb-1.0.dll, satcli.exe, both import
#    libraries, the header, the licence, the notices and the README; the DLL
#    imports only Windows DLLs and libusb-1.0.dll; binaries are stripped and
#    the debug zip holds their symbols;
#  - with --maker-ca PEM: no file of any artefact contains the development
#    CA (its PEM lines, DER bytes or fingerprint), while the library does
#    contain the maker's CA, which shows that the scan sees the certificate.
#   scripts/check-packages.sh DIR [--maker-ca PEM]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
dir=$(realpath "$1")
maker_ca=""
[ "${2:-}" = --maker-ca ] && maker_ca=$(realpath "$3")
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
zip=$(find "$dir" -maxdepth 1 -name 'taviksat-*-win64.zip' | head -n1)
debug_zip=$(find "$dir" -maxdepth 1 -name 'taviksat-*-win64-debug.zip' | head -n1)
[ -n "$deb" ] || fail "no .deb in $dir"
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
  (cd "$work/zip/$top" && find . -mindepth 1 | sed 's|^\./||' | sort) >"$work/zip.list"
  for path in bin/taviksat.dll bin/libusb-1.0.dll bin/satcli.exe lib/taviksat.dll.a lib/taviksat.lib \
      include/taviksat/taviksat.h LICENSE THIRD-PARTY-NOTICES README.txt CHANGELOG.md BUILD-INFO.txt; do
    has "$work/zip.list" "$path"
  done
  dll=$work/zip/$top/bin/taviksat.dll
  imports=$(x86_64-w64-mingw32-objdump -p "$dll" | sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort | tr '\n' ' ')
  [[ " $imports" == *" libusb-1.0.dll "* ]] || fail "taviksat.dll does not import libusb-1.0.dll: $imports"
  for import in $imports; do
    case $import in
      libusb-1.0.dll|advapi32.dll|bcrypt.dll|crypt32.dll|kernel32.dll|msvcrt.dll|ntdll.dll|user32.dll|ws2_32.dll|\
      setupapi.dll|ole32.dll|shell32.dll|gdi32.dll|winusb.dll|api-ms-win-*) ;;
      *) fail "taviksat.dll imports $import" ;;
    esac
  done
  # The version resource: its UTF-16 strings hold the version and the licence.
  zip_version=$(basename "$zip" | sed -n 's/^taviksat-\([0-9.]*\).*/\1/p')
  strings -el "$dll" >"$work/dll.strings"
  grep -qxF "$zip_version" "$work/dll.strings" || fail "taviksat.dll has no version resource for $zip_version"
  grep -qF "Apache License 2.0" "$work/dll.strings" || fail "taviksat.dll's version resource names no licence"
  for binary in taviksat.dll libusb-1.0.dll satcli.exe; do
    sections=$(x86_64-w64-mingw32-objdump -h "$work/zip/$top/bin/$binary")
    grep -q '\.debug_info' <<<"$sections" && fail "$binary is not stripped"
  done
  if [ -n "$debug_zip" ]; then
    mkdir -p "$work/debug-zip"
    (cd "$work/debug-zip" && unzip -q "$debug_zip")
    count=$(find "$work/debug-zip" -name '*.debug' | wc -l)
    [ "$count" -eq 3 ] || fail "the debug zip holds $count .debug files, expected 3"
  else
    fail "no debug zip beside the Windows zip"
  fi
  echo "   imports: $imports"
  "$root/scripts/check-consumers.sh" --mingw "$work/zip/$top"
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
  case "$(basename "$deb") $(basename "$zip")" in *devca*) fail "a maker-CA artefact is named -devca" ;; esac
fi

if [ "$failures" -gt 0 ]; then
  echo "$failures package check(s) failed" >&2
  exit 1
fi
echo "== package contents as expected"
