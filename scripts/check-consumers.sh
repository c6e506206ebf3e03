#!/usr/bin/env bash
# Builds and runs the consumer program (tests/consumers) against an installed
# taviksat, as an integrator would: once through pkg-config, once through
# find_package(taviksat). With --mingw VARIANT DIR it also links it for
# Windows against a variant's MinGW import library in the unpacked zip DIR
# (DIR/include, DIR/VARIANT/lib), as a host of that variant does: x64 with
# the x86-64 compiler, x86-cdecl and x86-stdcall with the 32-bit one, the
# latter defining TAVIK_STDCALL; its program must import the undecorated
# names.
#   scripts/check-consumers.sh PREFIX            (/usr after installing the .deb)
#   scripts/check-consumers.sh --mingw VARIANT DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tavik-consumers.XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ "${1:-}" = --mingw ]; then
  variant=$2
  dir=$3
  case $variant in
    x64) host=x86_64-w64-mingw32 defines=() ;;
    x86-cdecl) host=i686-w64-mingw32 defines=() ;;
    x86-stdcall) host=i686-w64-mingw32 defines=(-DTAVIK_STDCALL) ;;
    *) echo "unknown Windows variant $variant (x64, x86-cdecl or x86-stdcall)" >&2; exit 2 ;;
  esac
  "$host-gcc-posix" -Wall -Werror "${defines[@]}" -I"$dir/include" "$root/tests/consumers/consumer.c" \
    -L"$dir/$variant/lib" -ltaviksat -o "$work/consumer.exe"
  imports=$("$host-objdump" -p "$work/consumer.exe")
  grep -q "DLL Name: taviksat.dll" <<<"$imports" ||
    { echo "consumer.exe ($variant) does not import taviksat.dll" >&2; exit 1; }
  # The names it imports from taviksat.dll: the DLL's, without decoration.
  from_taviksat=$(awk '/DLL Name:/ { inside = ($3 == "taviksat.dll") } inside && NF == 3 && $1 ~ /^[0-9a-f]+$/ { print $3 }' \
    <<<"$imports" | sort | tr '\n' ' ')
  [ "$from_taviksat" = "GeraNumeroSessao VersaoLib " ] ||
    { echo "consumer.exe ($variant) imports '$from_taviksat' from taviksat.dll" >&2; exit 1; }
  echo "consumer: linked for Windows $variant against $dir/$variant/lib/taviksat.dll.a"
  exit 0
fi

prefix=$(realpath "$1")
pc_dir=$(dirname "$(find "$prefix" -path '*/pkgconfig/taviksat.pc' -print -quit)")
[ -n "$pc_dir" ] && [ "$pc_dir" != . ] || { echo "no taviksat.pc under $prefix" >&2; exit 1; }

echo "== consumer through pkg-config ($pc_dir/taviksat.pc)"
export PKG_CONFIG_PATH=$pc_dir
libdir=$(pkg-config --variable=libdir taviksat)
cc -Wall -Werror "$root/tests/consumers/consumer.c" $(pkg-config --cflags --libs taviksat) \
  -Wl,-rpath,"$libdir" -o "$work/pkg-config-consumer"
"$work/pkg-config-consumer"

echo "== consumer through find_package(taviksat)"
cmake -S "$root/tests/consumers/find_package" -B "$work/find_package" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
  -DCMAKE_C_FLAGS="-Wall -Werror" >/dev/null
cmake --build "$work/find_package" >/dev/null
"$work/find_package/consumer"
