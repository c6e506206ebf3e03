#!/usr/bin/env bash
# Builds the libFuzzer targets with clang-19 (the "fuzz" preset) and runs each
# one for the given number of seconds (default 30), or until it has made
# FUZZ_RUNS executions when that is set. Exits non-zero as soon as a target
# reports a finding; its reproducer is left under <build dir>/artifacts/<target>/.
#
#   scripts/fuzz.sh [seconds-per-target] [target...]
#   FUZZ_BUILD_DIR=build/other scripts/fuzz.sh 60
#   FUZZ_RUNS=10000000 scripts/fuzz.sh 600 ipv4_fuzzer   # the long run
#   FUZZ_JOBS=2 scripts/fuzz.sh 600                      # two targets at a time
set -euo pipefail

seconds="${1:-30}"
shift || true
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="${FUZZ_BUILD_DIR:-build/fuzz}"
[[ "$build" = /* ]] || build="$root/$build"
jobs="${FUZZ_JOBS:-1}"
source "$root/scripts/lib/tally.sh"
all_targets=(sat_frame_fuzzer mfe_frame_fuzzer round_trip_fuzzer beacon_fuzzer ipv4_fuzzer
             usb_string_fuzzer ini_fuzzer json_round_trip_fuzzer)
if (($# > 0)); then targets=("$@"); else targets=("${all_targets[@]}"); fi

cmake -S "$root" --preset fuzz -B "$build" >/dev/null
cmake --build "$build" --target "${targets[@]}" -j2

# Runs one target; prints its figures, or its log tail on a finding.
run_target() {
  local target="$1"
  # New inputs go to a working corpus in the build tree; the committed seeds
  # under fuzz/corpus are only read.
  local corpus="$build/corpus/$target" artifacts="$build/artifacts/$target/" log="$build/$target.log"
  mkdir -p "$corpus" "$artifacts"
  # Frames may be large; addresses, descriptors and settings files are short.
  local max_len=65536
  [[ "$target" == ipv4_fuzzer || "$target" == usb_string_fuzzer || "$target" == ini_fuzzer ]] && max_len=4096
  local options=(-max_total_time="$seconds" -max_len="$max_len" -print_final_stats=1 -artifact_prefix="$artifacts")
  [[ -n "${FUZZ_RUNS:-}" ]] && options+=(-runs="$FUZZ_RUNS")
  [[ "$target" == *_frame_fuzzer || "$target" == beacon_fuzzer ]] && options+=(-dict="$root/fuzz/frame.dict")
  local started=$SECONDS
  if ! "$build/fuzz/$target" "${options[@]}" "$corpus" "$root/fuzz/corpus/$target" 2> "$log"; then
    tail -n 60 "$log"
    echo "fuzz.sh: $target found a problem; see $artifacts" >&2
    tally failed 1 "$target"
    return 1
  fi
  local executions
  executions="$(sed -n 's/^stat::number_of_executed_units: *//p' "$log")"
  # A target that made no executions has tested nothing.
  if [[ -z "$executions" || "$executions" == 0 ]]; then
    echo "fuzz.sh: $target made no executions; see $log" >&2
    tally failed 1 "$target (no executions)"
    return 1
  fi
  tally passed 1 "$target"
  echo "== $target: ${executions:-?} executions in $((SECONDS - started))s," \
       "$(sed -n 's/^stat::new_units_added: *//p' "$log") new units, no findings"
}

failed=0
running=0
for target in "${targets[@]}"; do
  run_target "$target" &
  if ((++running >= jobs)); then
    wait -n || failed=1
    ((running--))
  fi
  ((failed == 0)) || break
done
while ((running > 0)); do
  wait -n || failed=1
  ((running--))
done
((failed == 0)) || exit 1
echo "fuzz.sh: no findings"
