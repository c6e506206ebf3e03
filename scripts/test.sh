#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite in stages:
#  - asan:      every test under AddressSanitizer and UndefinedBehaviorSanitizer,
#  - soak-asan: a short soak of the library under faults and load (ASan+UBSan),
#  - tsan:      the concurrency tests again under ThreadSanitizer,
#  - soak-tsan: a shorter soak under ThreadSanitizer,
#  - fuzz:      each fuzz target briefly,
#  - examples:  the till-session example of every language in examples/ against the simulator,
#  - windows:   the Windows DLL, cross-built, with its tests under Wine,
#  - release:   the packages built with a stand-in maker CA, checked, installed.
# Every stage runs even when an earlier one failed; the run ends with a line
# per stage and the totals, "ci: N passed, N failed, N skipped", and fails
# when a stage failed, ran nothing, or (with CI set) skipped anything.
# To add a stage: a function or program whose tests report through
# scripts/lib/tally.sh, and a "stage NAME command..." line below.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)
source scripts/lib/stages.sh
# ccache keys on paths relative to the checkout, so a clone in another
# folder (CI's) reuses what earlier builds on the machine compiled.
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$(pwd)} CCACHE_NOHASHDIR=1

scripts/install-deps.sh

# suite PRESET TARGET [ctest arguments...]
suite() {
  local preset=$1 target=$2
  shift 2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" --target "$target"
  tally_ctest scripts/in-private-network.sh ctest --test-dir "build/$preset" -j "$jobs" --output-on-failure "$@"
}

tsan_suite() {
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" suite tsan concurrency_tests -L concurrency
}

# soak PRESET CALLS: the soak program against simulators. It needs a network
# namespace of its own: exit 77 without one (under CI it fails instead).
soak() {
  local preset=$1 calls=$2 status=0
  cmake --build --preset "$preset" -j "$jobs" --target tavik-soak
  TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" \
    "build/$preset/tools/soak/tavik-soak" --calls "$calls" --threads 4 || status=$?
  case $status in
    0) tally passed 1 "soak $preset" ;;
    77) tally skipped 1 "soak $preset: needs its own network namespace (root)" ;;
    *) tally failed 1 "soak $preset (exit $status)"; return "$status" ;;
  esac
}

stage asan suite asan all
stage soak-asan soak asan "${SOAK_CALLS:-2000}"
stage tsan tsan_suite
stage soak-tsan soak tsan "${SOAK_TSAN_CALLS:-300}"
stage fuzz scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
stage examples scripts/test-examples.sh
stage windows scripts/test-windows.sh
stage release scripts/check-release.sh
stage_summary
