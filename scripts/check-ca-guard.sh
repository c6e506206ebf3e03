#!/usr/bin/env bash
# The configure step refuses every build whose CA choice is missing or wrong,
# with a message that says what to pass:
#  - no TAVIK_CA_CERT_PEM and no TAVIK_DEVELOPMENT_CA=ON;
#  - a copy of the development CA under another path, without
#    TAVIK_DEVELOPMENT_CA=ON (it is recognised by its fingerprint);
#  - TAVIK_DEVELOPMENT_CA=ON together with another CA;
#  - a file that is not a PEM certificate.
#   scripts/check-ca-guard.sh MAKER_CA_PEM
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
maker_ca=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/tavik-ca-guard.XXXXXX")
trap 'rm -rf "$work"' EXIT
cp "$root/certs/development-only/ca-cert.pem" "$work/copied-ca.pem"
echo "not a certificate" >"$work/garbage.pem"
failures=0

# expect_refusal NAME EXPECTED-TEXT [cmake arguments...]
expect_refusal() {
  local name=$1 expected=$2; shift 2
  if cmake -S "$root" -B "$work/$name" -G Ninja -DTAVIK_BUILD_TESTS=OFF -DTAVIK_BUILD_BENCH=OFF "$@" \
      >"$work/$name.log" 2>&1; then
    echo "FAIL: $name: the configure step accepted it" >&2; failures=$((failures + 1))
  elif ! tr -s ' \n' ' ' <"$work/$name.log" | grep -qF -- "$expected"; then
    echo "FAIL: $name: no '$expected' in:" >&2; cat "$work/$name.log" >&2; failures=$((failures + 1))
  else
    echo "refused as expected: $name"
  fi
}

how="Pass -DTAVIK_CA_CERT_PEM=/path/to/maker-ca.pem"
expect_refusal no-choice "No CA certificate chosen for the library to trust. $how"
expect_refusal copied-development-ca "is the development CA, whose private key is public. $how" \
  -DTAVIK_CA_CERT_PEM="$work/copied-ca.pem"
expect_refusal development-and-maker "TAVIK_DEVELOPMENT_CA=ON but TAVIK_CA_CERT_PEM names another CA" \
  -DTAVIK_DEVELOPMENT_CA=ON -DTAVIK_CA_CERT_PEM="$maker_ca"
expect_refusal not-a-certificate "is not a PEM X.509 certificate" -DTAVIK_CA_CERT_PEM="$work/garbage.pem"
[ "$failures" -eq 0 ]
