#!/usr/bin/env bash
# Installs the Debian packages the Windows cross build and its Wine tests
# need: the mingw-w64 compiler (posix threads), Debian's mingw zlib, Wine, and
# dpkg-dev so that `apt-get source` can unpack libusb-1.0 and OpenSSL.
# Also enables source packages by copying the machine's own apt sources with
# their type changed to deb-src (no archive host is written in the repo).
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix mingw-w64-tools
  binutils-mingw-w64-x86-64 libz-mingw-w64-dev wine64 dpkg-dev make perl
)

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

# The deb-src twin of every deb822 source file (and of sources.list lines).
src_file=/etc/apt/sources.list.d/tavik-deb-src.sources
need_update=0
if [ ! -f "$src_file" ]; then
  tmp=$(mktemp)
  for f in /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] && [ "$f" != "$src_file" ] || continue
    sed -n '/^Types:/!p;/^Types:/s/.*/Types: deb-src/p' "$f" >>"$tmp"
    echo >>"$tmp"
  done
  if [ -f /etc/apt/sources.list ]; then
    while read -r type rest; do
      [ "$type" = deb ] || continue
      echo "deb-src $rest" >>"${tmp}.list"
    done </etc/apt/sources.list
    [ -s "${tmp}.list" ] && $sudo install -m 644 "${tmp}.list" /etc/apt/sources.list.d/tavik-deb-src.list
    rm -f "${tmp}.list"
  fi
  $sudo install -m 644 "$tmp" "$src_file"
  rm -f "$tmp"
  need_update=1
fi

if [ ${#missing[@]} -eq 0 ] && [ $need_update -eq 0 ]; then
  exit 0
fi
$sudo apt-get update -qq
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
