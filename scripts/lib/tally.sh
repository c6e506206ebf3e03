# Test results reported to the stage that runs them (see stages.sh).
# Sourced by scripts that run tests. A stage names a file in TAVIK_TALLY; each
# line there reads "RESULT COUNT WHAT", RESULT being passed, failed or
# skipped. Outside a stage (TAVIK_TALLY unset) nothing is recorded.

# tally passed|failed|skipped COUNT WHAT...
tally() {
  [[ -n "${TAVIK_TALLY:-}" ]] || return 0
  local result=$1 count=$2
  shift 2
  printf '%s %s %s\n' "$result" "$count" "$*" >>"$TAVIK_TALLY"
}

# tally_check WHAT COMMAND...: runs a command that is one test of its own.
tally_check() {
  local what=$1 status=0
  shift
  "$@" || status=$?
  if ((status == 0)); then tally passed 1 "$what"; else tally failed 1 "$what (exit $status)"; fi
  return "$status"
}

# tally_ctest COMMAND...: runs a ctest command line (the command may be a
# wrapper such as scripts/in-private-network.sh followed by ctest) and
# tallies every test from its JUnit report. A test entry that is a whole
# GoogleTest program (the Windows programs under Wine) counts its cases,
# and a case it skipped counts as skipped even though the program passed.
tally_ctest() {
  local junit status=0
  junit=$(mktemp "${TMPDIR:-/tmp}/tavik-ctest.XXXXXX")
  # The whole output of passing tests is kept: the GoogleTest summary lines
  # are at its end.
  "$@" --no-tests=error --test-output-size-passed 10000000 --output-junit "$junit" || status=$?
  local counts
  counts=$(tally_junit "$junit")
  rm -f "$junit"
  local passed failed skipped
  read -r passed failed skipped <<<"$counts"
  ((passed == 0)) || tally passed "$passed" ctest
  ((failed == 0)) || tally failed "$failed" ctest
  ((skipped == 0)) || tally skipped "$skipped" ctest
  # A ctest that failed without a failed test (it could not run them at all)
  # is left to the stage, which counts its exit status.
  return "$status"
}

# Prints "PASSED FAILED SKIPPED" read from a ctest JUnit file.
tally_junit() {
  [[ -s "$1" ]] || { echo "0 0 0"; return 0; }
  awk '
    function close_case() {
      if (status == "") return
      if (status == "run") { passed += (cases > 0 ? cases : 1); skipped += inner_skips }
      else if (status == "fail") failed += 1
      else skipped += 1
      status = ""
    }
    /<testcase / {
      close_case()
      status = $0; sub(/.*status="/, "", status); sub(/".*/, "", status)
      cases = 0; inner_skips = 0
    }
    /\[  PASSED  \] [0-9]+ test/ { line = $0; sub(/.*\[  PASSED  \] /, "", line); cases = line + 0 }
    /\[  SKIPPED \] [0-9]+ test/ { line = $0; sub(/.*\[  SKIPPED \] /, "", line); inner_skips = line + 0 }
    END { close_case(); printf "%d %d %d\n", passed, failed, skipped }
  ' "$1"
}
