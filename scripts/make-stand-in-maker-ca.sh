#!/usr/bin/env bash
# Writes a throw-away self-signed CA certificate of the form a fiscal-module
# maker supplies (X.509 v3, RSA 4096, SHA-256, CR LF lines) to FILE, to build
# and check packages the way a release is built. Its key is discarded.
#   scripts/make-stand-in-maker-ca.sh FILE
set -euo pipefail
out=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
openssl req -x509 -newkey rsa:4096 -sha256 -days 30 -nodes -keyout "$work/key.pem" -out "$work/ca.pem" \
  -subj "/C=BR/O=Stand-in Maker/CN=Stand-in Fiscal Module Maker CA" \
  -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign,digitalSignature" \
  2>/dev/null
sed -e 's/\r$//' -e 's/$/\r/' "$work/ca.pem" >"$out"
