#!/usr/bin/env bash
# Runs one Windows test program under Wine while the Linux-built simulator
# serves TLS on loopback port 9014 (Wine shares the host's network), then
# stops the simulator.  usage: run_with_simulator.sh SIMULATOR WINE PROGRAM [ARG...]
set -uo pipefail
simulator=$1 wine=$2; shift 2

log=$(mktemp)
"$simulator" --address 127.0.0.1 --port 9014 --no-beacon >"$log" 2>&1 &
simulator_pid=$!
trap 'kill "$simulator_pid" 2>/dev/null; wait "$simulator_pid" 2>/dev/null; rm -f "$log"' EXIT

# Ready once it has printed its banner (it binds before printing).
for _ in $(seq 1 100); do
  grep -q "^Simulated " "$log" && break
  kill -0 "$simulator_pid" 2>/dev/null || { echo "simulator did not start:"; cat "$log"; exit 1; }
  sleep 0.1
done

TAVIK_TEST_SIMULATOR_IP=127.0.0.1 "$wine" "$@"
status=$?
if [ $status -ne 0 ]; then
  echo "--- simulator output"; tail -n 40 "$log"
fi
exit $status
