#!/usr/bin/env bash
# Installs the Debian packages the Windows cross build and its Wine tests
# need: the mingw-w64 compiler (posix threads), Debian's mingw zlib, Wine, and
# dpkg-dev so that `apt-get source` can unpack libusb-1.0 and OpenSSL.
# usage: install-windows-deps.sh [HOST...]   (default: x86_64-w64-mingw32)
# For i686-w64-mingw32 it adds the 32-bit compiler and Wine's 32-bit side
# (wine32 from the i386 architecture, which it enables), which runs 32-bit
# programs in the same WoW64 prefix as the 64-bit ones.
# Also enables source packages by copying the machine's own apt sources with
# their type changed to deb-src (no archive host is written in the repo).
# Safe to run again: it only calls apt-get when something is missing.
set -euo pipefail

packages=(mingw-w64-tools libz-mingw-w64-dev wine64 dpkg-dev make perl)
need_i386=0
for host in "${@:-x86_64-w64-mingw32}"; do
  case $host in
    x86_64-w64-mingw32)
      packages+=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64) ;;
    i686-w64-mingw32)
      packages+=(g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686 wine32:i386)
      need_i386=1 ;;
    *) echo "unknown Windows host $host" >&2; exit 2 ;;
  esac
done

sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" || missing+=("$package")
done

# wine32 comes from the i386 architecture.
need_update=0
if [ $need_i386 -eq 1 ] && ! dpkg --print-foreign-architectures | grep -qx i386; then
  $sudo dpkg --add-architecture i386
  need_update=1
fi

# The deb-src twin of every deb822 source file (and of sources.list lines).
src_file=/etc/apt/sources.list.d/tavik-deb-src.sources
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
