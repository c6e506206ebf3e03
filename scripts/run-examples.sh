#!/usr/bin/env bash
# Runs the built till-session examples one after another against one
# simulated fiscal module on 127.0.0.1 and checks each one's output: the
# version text, the device choice, the sale's key (well-formed, with its
# check digit, and the module's), the exact total, the
# cancellation's answer code, the last fiscal session and the device JSON.
# Usage: run-examples.sh BUILD_DIR EXAMPLES_OUT_DIR (see test-examples.sh).
set -euo pipefail
cd "$(dirname "$0")/.."
build=$1
out=$2
data=$PWD/examples/data
code=12345678
cnpj=11222333000181   # the simulated module's taxpayer and serial (its defaults)
serial=900000123
# The simulated module accepts sales signed with the signAC of the example sale.
sign_ac=$(sed -n 's:.*<signAC>\(.*\)</signAC>.*:\1:p' "$data/venda.xml")
expected_total=47.80   # 2 x 12.90 + 0.3333 kg x 30.00 + 1.255 kg x 10.00 - 0.55, item by item in cents

"$build/simulator/tavik-simulator" --address 127.0.0.1 --activation-code "$code" --sign-ac "$sign_ac" \
  --no-beacon > "$out/simulator.log" 2>&1 &
simulator=$!
trap 'kill $simulator 2>/dev/null; wait $simulator 2>/dev/null || true' EXIT
for _ in $(seq 100); do
  (exec 3<>/dev/tcp/127.0.0.1/9014) 2>/dev/null && break
  sleep 0.1
done

export LD_LIBRARY_PATH="$build/src${LD_LIBRARY_PATH:+:$LD_LIBRARY_PATH}"
# Python is Debian's own interpreter (package python3), whatever else is on PATH.
declare -A commands=(
  [c]="$out/c/till_session"
  [python]="/usr/bin/python3 $PWD/examples/python/till_session.py"
  [csharp]="mono $out/csharp/TillSession.exe"
  [pascal]="$out/pascal/till_session"
  [java]="java -cp /usr/share/java/jna.jar:$out/java TillSession"
)

# check_digit KEY44: the access key's last digit from its first 43.
check_digit() {
  local digits=${1:0:43} sum=0 weight=2 i
  for ((i = 42; i >= 0; i--)); do
    sum=$((sum + ${digits:i:1} * weight))
    weight=$((weight == 9 ? 2 : weight + 1))
  done
  local d=$((11 - sum % 11))
  echo $((d >= 10 ? 0 : d))
}

source "$(dirname "$0")/lib/tally.sh"
passed=0 failed=0
for language in c python csharp pascal java; do
  output=$out/$language.out
  problems=()
  expect() { grep -qE -- "$1" "$output" || problems+=("no line matching: $1"); }
  status=0
  (cd "$out" && timeout 120 ${commands[$language]} 127.0.0.1 "$code" "$data") > "$output" 2>&1 || status=$?
  [ "$status" -eq 0 ] || problems+=("exit status $status")
  expect '^VersaoLib: TAVIK  DLL SAT Versão: [0-9a-f]{7}$'
  expect '^FiltraMFEIp\(127\.0\.0\.1\): 0$'
  expect '^  \[3\] SAT em Operação$'
  expect "^sale total: $expected_total\$"
  expect '^cancellation code: 07000$'
  expect '^GetDeviceInfoAsJson: \{"model":"Tcp\(VortaMfe\)","ip":"127\.0\.0\.1:9014","serial":"NA"\}$'
  key=$(sed -n 's/^sale key: //p' "$output")
  if [[ ! "$key" =~ ^CFe[0-9]{44}$ ]]; then
    problems+=("sale key '$key' is not CFe and 44 digits")
  else
    [ "${key:46:1}" = "$(check_digit "${key:3}")" ] || problems+=("sale key $key has a wrong check digit")
    # The module's key: its state (35), its taxpayer, model 59 and its serial;
    # and the cancellation's 07000 shows it took the key as its last sale's.
    [[ "$key" =~ ^CFe35[0-9]{4}${cnpj}59${serial}[0-9]{13}$ ]] || problems+=("sale key $key is not the module's")
  fi
  # The last fiscal session is the cancellation: its answer, code 07000.
  sed -n '/^== ConsultarUltimaSessaoFiscal/,/^\S/p' "$output" | grep -qx '  \[2\] 07000' ||
    problems+=("ConsultarUltimaSessaoFiscal did not answer the cancellation")
  if [ ${#problems[@]} -eq 0 ]; then
    passed=$((passed + 1))
    tally passed 1 "example $language"
    echo "example $language: ok (sale $key)"
  else
    failed=$((failed + 1))
    tally failed 1 "example $language"
    echo "example $language: FAILED"
    printf '  %s\n' "${problems[@]}"
    sed 's/^/  | /' "$output"
  fi
done
echo "examples: $passed passed, $failed failed"
[ "$failed" -eq 0 ]
