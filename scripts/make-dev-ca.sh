#!/usr/bin/env bash
# Creates the development CA and the certificates the fiscal-module simulator
# presents. Run once; the output is kept under certs/development-only/.
# These keys are public: never use them for a real device.
#
#   ca-cert.pem        self-signed X.509 v3 CA, RSA 4096, SHA-256 (CR LF lines)
#   ca-key.pem         its private key
#   server-cert.pem    issued by the CA for the CA's own key: what a genuine
#                      module presents (the library accepts any certificate
#                      carrying the CA's public key)
#   other-key.pem      an unrelated RSA key
#   other-key-cert.pem issued by the CA for other-key.pem: a certificate the
#                      library must reject
set -euo pipefail

out="${1:-$(cd "$(dirname "$0")/.." && pwd)/certs/development-only}"
mkdir -p "$out"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

days=7300

to_crlf() { sed -e 's/\r$//' -e 's/$/\r/' "$1" > "$1.crlf" && mv "$1.crlf" "$1"; }

cat > "$work/ca.cnf" <<'CNF'
[req]
distinguished_name = dn
prompt = no
x509_extensions = ca_ext
[dn]
C = BR
ST = Sao Paulo
O = Tavik Development
OU = Development only - not for production
CN = Tavik Development Fiscal Module CA
[ca_ext]
basicConstraints = critical, CA:TRUE
keyUsage = critical, keyCertSign, cRLSign, digitalSignature
subjectKeyIdentifier = hash
CNF

cat > "$work/server.cnf" <<'CNF'
[server_ext]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
subjectAltName = IP:127.0.0.1, IP:127.0.0.2, IP:127.0.0.3, IP:127.0.0.4, DNS:localhost
CNF

openssl genrsa -out "$out/ca-key.pem" 4096
openssl req -new -x509 -sha256 -days "$days" -key "$out/ca-key.pem" \
  -config "$work/ca.cnf" -out "$out/ca-cert.pem"

# A genuine module's certificate: the CA's own key under a server subject.
openssl req -new -sha256 -key "$out/ca-key.pem" \
  -subj "/C=BR/O=Tavik Development/CN=Tavik Simulated Fiscal Module" -out "$work/server.csr"
openssl x509 -req -sha256 -days "$days" -in "$work/server.csr" \
  -CA "$out/ca-cert.pem" -CAkey "$out/ca-key.pem" -set_serial 0x1001 \
  -extfile "$work/server.cnf" -extensions server_ext -out "$out/server-cert.pem"

# A certificate the CA issued for another key pair.
openssl genrsa -out "$out/other-key.pem" 2048
openssl req -new -sha256 -key "$out/other-key.pem" \
  -subj "/C=BR/O=Tavik Development/CN=Tavik Fiscal Module With Another Key" -out "$work/other.csr"
openssl x509 -req -sha256 -days "$days" -in "$work/other.csr" \
  -CA "$out/ca-cert.pem" -CAkey "$out/ca-key.pem" -set_serial 0x1002 \
  -extfile "$work/server.cnf" -extensions server_ext -out "$out/other-key-cert.pem"

for f in ca-cert.pem ca-key.pem server-cert.pem other-key.pem other-key-cert.pem; do
  to_crlf "$out/$f"
done

openssl x509 -in "$out/ca-cert.pem" -noout -subject -fingerprint -sha256
echo "Development certificates written to $out"
