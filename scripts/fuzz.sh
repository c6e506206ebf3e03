#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-19 (the "fuzz" preset) and runs each
# one for the given number of seconds (default 30). Exits non-zero as soon as
# a target reports a finding; its reproducer is left under
# <build dir>/artifacts/<target>/.
#
#   scripts/fuzz.sh [seconds-per-target]
#   FUZZ_BUILD_DIR=build/other scripts/fuzz.sh 60
set -euo pipefail

seconds="${1:-30}"
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-build/fuzz}"
[[ "$build" = /* ]] || build="$root/$build"
targets=(sat_frame_fuzzer mfe_frame_fuzzer round_trip_fuzzer)

cmake -S "$root" --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target "${targets[@]}" -j2

for target in "${targets[@]}"; do
  # New inputs go to a working corpus in the build tree; the committed seeds
  # under fuzz/corpus are only read.
  corpus="$build/corpus/$target"
  artifacts="$build/artifacts/$target/"
  mkdir -p "$corpus" "$artifacts"
  dict=()
  [[ "$target" == *_frame_fuzzer ]] && dict=(-dict="$root/fuzz/frame.dict")
  echo "== $target: ${seconds}s"
  if ! "$build/fuzz/$target" -max_total_time="$seconds" -max_len=65536 -print_final_stats=1 \
       "${dict[@]}" -artifact_prefix="$artifacts" \
       "$corpus" "$root/fuzz/corpus/$target" 2> "$build/$target.log"; then
    tail -n 60 "$build/$target.log"
    echo "fuzz.sh: $target found a problem; see $artifacts" >&2
    exit 1
  fi
  grep -E '^stat::(number_of_executed_units|new_units_added)' "$build/$target.log" || true
done
echo "fuzz.sh: no findings"
