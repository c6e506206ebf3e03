#!/usr/bin/env bash
# Runs the test suite of a dev (Debug) build under valgrind memcheck with a
# full leak check. Each test program runs once as a whole, and every process
# it forks is checked too. A program fails on any memory error or on memory
# definitely, indirectly or possibly lost, except what
# scripts/valgrind/taviksat.supp lets through (each entry there says why).
# It also fails on a program (or a process it forked) ended by a signal, on
# a time-out, and on a test program that did not build. A test assertion
# that fails under valgrind with memory clean (exit status 1; timing: the
# program runs 20 to 50 times slower) is listed but does not fail the run;
# the ordinary test run judges those. Prints one line per program and exits
# non-zero if any failed. The long check, not
# part of scripts/test.sh (memcheck makes every program 20 to 50 times slower).
#
#   scripts/valgrind.sh                      # every test program
#   scripts/valgrind.sh settings_ tcp_       # only programs whose names contain these
#   VALGRIND_BUILD_DIR=build/other scripts/valgrind.sh
#   VALGRIND_SKIP_BUILD=1 ...                # use the programs already built there
#
# Programs that bind the fixed ports 9014/9015 move into their own network
# namespace, which needs root; without it they skip those cases.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build_failed=0
build="${VALGRIND_BUILD_DIR:-build/valgrind}"
[[ "$build" = /* ]] || build="$root/$build"
logs="$build/valgrind-logs"
per_program_timeout="${VALGRIND_TIMEOUT:-1800}"

if [[ -z "${VALGRIND_SKIP_BUILD:-}" ]]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVIK_BUILD_BENCH=OFF \
    -DTAVIK_WERROR=ON -DTAVIK_DEVELOPMENT_CA=ON >/dev/null
  # Keep going past a program that does not build, so the rest still run;
  # the run fails at the end all the same.
  if ! cmake --build "$build" -j2 -- -k 0; then
    echo "valgrind.sh: some targets did not build; checking the others" >&2
    build_failed=1
  fi
fi
mkdir -p "$logs"

mapfile -t programs < <(find "$build/tests" -type f -perm -u+x -name '*_test*' ! -path '*/CMakeFiles/*' | sort)
if (($# > 0)); then
  selected=()
  for program in "${programs[@]}"; do
    for pattern in "$@"; do
      [[ "$(basename "$program")" == *"$pattern"* ]] && { selected+=("$program"); break; }
    done
  done
  programs=("${selected[@]}")
fi
((${#programs[@]} > 0)) || { echo "valgrind.sh: no test programs found under $build/tests" >&2; exit 1; }

failed=()
slow=()
for program in "${programs[@]}"; do
  name="$(basename "$program")"
  rm -f "$logs/$name".*.log
  started=$SECONDS
  status=0
  # One log per process (%p): forked children are checked when they end.
  (cd "$(dirname "$program")" &&
   timeout "$per_program_timeout" valgrind --tool=memcheck --leak-check=full \
     --show-leak-kinds=definite,indirect,possible --errors-for-leak-kinds=definite,indirect,possible \
     --error-exitcode=99 --num-callers=40 --keep-debuginfo=yes \
     --suppressions="$root/scripts/valgrind/taviksat.supp" --log-file="$logs/$name.%p.log" \
     "$program" --gtest_brief=1 >"$logs/$name.out" 2>&1) || status=$?
  dirty="$(grep -l 'ERROR SUMMARY: [1-9]' "$logs/$name".*.log 2>/dev/null | head -n1 || true)"
  # A forked child that crashed leaves this in its own log.
  crashed="$(grep -l 'Process terminating with default action of signal' "$logs/$name".*.log 2>/dev/null | head -n1 || true)"
  if [[ -n "$dirty" ]]; then
    echo "MEMORY  $name: $(grep -h 'ERROR SUMMARY' "$dirty" | sed 's/^==[0-9]*== //'); see $dirty"
    failed+=("$name")
  elif ((status == 124)); then
    echo "TIMEOUT $name after ${per_program_timeout}s; see $logs/$name.out"
    failed+=("$name")
  elif ((status > 128)) || [[ -n "$crashed" ]]; then
    echo "CRASH   $name: ended by a signal (exit $status); see ${crashed:-$logs/$name.out}"
    failed+=("$name")
  elif ((status != 1 && status != 0)); then
    echo "FAILED  $name: exit $status; see $logs/$name.out"
    failed+=("$name")
  elif ((status != 0)); then
    # A test that fails only under valgrind's slowdown (a 2 s device
    # time-out, say) is no memory fault: listed, not counted.
    echo "SLOW?   $name: a test failed under valgrind (exit $status), memory clean; see $logs/$name.out"
    slow+=("$name")
  else
    echo "ok      $name ($((SECONDS - started))s, $(ls "$logs/$name".*.log | wc -l) processes checked)"
  fi
done

((${#slow[@]} == 0)) || echo "valgrind.sh: tests that failed only under valgrind: ${slow[*]}" >&2
if ((${#failed[@]} > 0)); then
  echo "valgrind.sh: ${#failed[@]} of ${#programs[@]} programs failed: ${failed[*]}" >&2
  exit 1
fi
if ((build_failed)); then
  echo "valgrind.sh: the programs that were built are clean, but some targets did not build" >&2
  exit 1
fi
echo "valgrind.sh: ${#programs[@]} programs clean"
