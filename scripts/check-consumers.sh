#!/usr/bin/env bash
# Builds and runs the consumer program (tests/consumers) against an installed
# taviksat, as an integrator would: once through pkg-config, once through
# find_package(taviksat). With --mingw DIR it also links it for Windows
# against the unpacked zip's MinGW import library.
#   scripts/check-consumers.sh PREFIX            (/usr after installing the .deb)
#   scripts/check-consumers.sh --mingw DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/tavik-consumers.XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ "${1:-}" = --mingw ]; then
  dir=$2
  x86_64-w64-mingw32-gcc-posix -Wall -Werror -I"$dir/include" "$root/tests/consumers/consumer.c" \
    -L"$dir/lib" -ltaviksat -o "$work/consumer.exe"
  imports=$(x86_64-w64-mingw32-objdump -p "$work/consumer.exe")
  grep -q "DLL Name: taviksat.dll" <<<"$imports" ||
    { echo "consumer.exe does not import taviksat.dll" >&2; exit 1; }
  echo "consumer: linked for Windows against $dir/lib/taviksat.dll.a"
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
