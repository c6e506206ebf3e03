# The stages of a test run and its closing counts. Sourced by scripts/test.sh.
#
#   stage NAME COMMAND...   runs COMMAND (a program or a shell function) as one
#                           stage; its tests report through tally.sh
#   stage_summary           prints one line per stage and the totals, and
#                           returns non-zero when any stage failed
#
# A stage fails when its command fails, when one of its tests failed, when it
# ran no test at all, or, under CI (CI set), when it skipped any: on CI a
# green run means every stage ran everything it has. Elsewhere (a developer
# who is not root, say) skips are counted and shown but allowed.
# shellcheck source=tally.sh
source "$(dirname "${BASH_SOURCE[0]}")/tally.sh"

stage_lines=()
stage_failures=()
stage_total_passed=0
stage_total_failed=0
stage_total_skipped=0

stage() {
  local name=$1
  shift
  local tally_file status=0 errexit=0
  tally_file=$(mktemp "${TMPDIR:-/tmp}/tavik-stage.XXXXXX")
  echo "== stage $name"
  [[ $- == *e* ]] && errexit=1
  # The command runs with errexit in a subshell of its own, so that its first
  # failing step ends the stage and the later stages still run.
  set +e
  (
    set -e
    export TAVIK_TALLY="$tally_file"
    "$@"
  )
  status=$?
  ((errexit == 0)) || set -e

  local passed failed skipped
  read -r passed failed skipped < <(awk '
    $1 == "passed" { p += $2 } $1 == "failed" { f += $2 } $1 == "skipped" { s += $2 }
    END { printf "%d %d %d\n", p, f, s }' "$tally_file")
  local reason=""
  if ((status != 0)); then
    reason="exit status $status"
    ((failed > 0)) || failed=1
  elif ((failed > 0)); then
    reason="$failed failed"
  elif ((skipped > 0)) && [[ -n "${CI:-}" ]]; then
    reason="skipped $skipped under CI"
  elif ((passed == 0 && skipped == 0)); then
    reason="ran nothing"
  fi
  if ((skipped > 0)); then
    grep '^skipped ' "$tally_file" | sed "s/^skipped /  $name skipped: /" >&2 || true
  fi
  rm -f "$tally_file"

  stage_total_passed=$((stage_total_passed + passed))
  stage_total_failed=$((stage_total_failed + failed))
  stage_total_skipped=$((stage_total_skipped + skipped))
  local verdict="ok"
  if [[ -n "$reason" ]]; then
    verdict="FAILED ($reason)"
    stage_failures+=("$name")
  fi
  stage_lines+=("$(printf 'ci: stage %-12s %6d passed, %d failed, %d skipped: %s' \
    "$name" "$passed" "$failed" "$skipped" "$verdict")")
  echo "${stage_lines[-1]}"
}

stage_summary() {
  echo "== summary"
  local line
  for line in "${stage_lines[@]}"; do echo "$line"; done
  echo "ci: $stage_total_passed passed, $stage_total_failed failed, $stage_total_skipped skipped"
  if ((${#stage_failures[@]} > 0)); then
    echo "ci: FAILED stages: ${stage_failures[*]}"
    return 1
  fi
  if ((${#stage_lines[@]} == 0)); then
    echo "ci: FAILED: no stage ran"
    return 1
  fi
  return 0
}
