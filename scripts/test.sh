#!/usr/bin/env bash
# Installs what is needed, builds, and runs the whole test suite:
#  - every test under AddressSanitizer and UndefinedBehaviorSanitizer,
#  - the concurrency tests again under ThreadSanitizer,
#  - each fuzz target briefly,
#  - the Windows DLL, cross-built, with its tests under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
jobs=$(nproc)

scripts/install-deps.sh

# run_suite PRESET TARGET [ctest arguments...]
run_suite() {
  local preset=$1 target=$2; shift 2
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset" -j "$jobs" --target "$target"
  scripts/in-private-network.sh ctest --test-dir "build/$preset" -j "$jobs" --output-on-failure "$@"
}

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
run_suite asan all
echo "== ThreadSanitizer (concurrency tests)"
TSAN_OPTIONS="halt_on_error=1 second_deadlock_stack=1" run_suite tsan concurrency_tests -L concurrency
if [ -x scripts/fuzz.sh ]; then
  echo "== Fuzz targets (short run)"
  scripts/fuzz.sh "${FUZZ_SECONDS:-15}"
fi
echo "== Windows DLL under Wine"
scripts/test-windows.sh
echo "== all tests passed"
