#include "kovo_base/tcp/tls_config.h"

#include <openssl/err.h>
#include <openssl/x509_vfy.h>

namespace tavik::kovo_base::tcp {
namespace {

constexpr const char* tls13_suites = "TLS_AES_256_GCM_SHA384:TLS_AES_128_GCM_SHA256:TLS_CHACHA20_POLY1305_SHA256";
constexpr const char* tls12_suites =
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-ECDSA-CHACHA20-POLY1305:"
    "ECDHE-RSA-AES256-GCM-SHA384:ECDHE-RSA-AES128-GCM-SHA256:ECDHE-RSA-CHACHA20-POLY1305";
constexpr const char* groups = "X25519:P-256:P-384";

const char* scheme_name(std::uint16_t code) {
  switch (code) {
    case 0x0201: return "rsa_pkcs1_sha1";
    case 0x0203: return "ECDSA+SHA1";  // OpenSSL 3.0 knows no name for it
    case 0x0401: return "rsa_pkcs1_sha256";
    case 0x0403: return "ecdsa_secp256r1_sha256";
    case 0x0501: return "rsa_pkcs1_sha384";
    case 0x0503: return "ecdsa_secp384r1_sha384";
    case 0x0601: return "rsa_pkcs1_sha512";
    case 0x0603: return "ecdsa_secp521r1_sha512";
    case 0x0804: return "rsa_pss_rsae_sha256";
    case 0x0805: return "rsa_pss_rsae_sha384";
    case 0x0806: return "rsa_pss_rsae_sha512";
    case 0x0807: return "ed25519";
    case 0x0808: return "ed448";
  }
  return nullptr;
}

std::string sigalgs_list() {
  std::string list;
  for (const std::uint16_t code : CertVerifier::supported_schemes()) {
    if (const char* name = scheme_name(code)) {
      if (!list.empty()) list += ':';
      list += name;
    }
  }
  return list;
}

int x509_error_for(const TlsError& error) {
  switch (error.kind) {
    case TlsError::Kind::CertificateNotValidForName: return X509_V_ERR_IP_ADDRESS_MISMATCH;
    case TlsError::Kind::CertificateBadSignature: return X509_V_ERR_CERT_SIGNATURE_FAILURE;
    case TlsError::Kind::General: break;
  }
  return X509_V_ERR_UNSPECIFIED;
}

// Replaces OpenSSL's chain verification. OpenSSL still checks the server's
// handshake signature with the key of the certificate accepted here, so a
// server that shows the CA certificate without its private key still fails.
int verify_server_certificate(X509_STORE_CTX* store, void*) {
  auto* session = static_cast<SSL*>(X509_STORE_CTX_get_ex_data(store, SSL_get_ex_data_X509_STORE_CTX_idx()));
  SessionState* state = session ? session_state(session) : nullptr;
  X509* presented = X509_STORE_CTX_get0_cert(store);
  if (!state || !state->verifier || !presented) {
    X509_STORE_CTX_set_error(store, X509_V_ERR_UNSPECIFIED);
    return 0;
  }
  unsigned char* der = nullptr;
  const int length = i2d_X509(presented, &der);
  std::expected<void, TlsError> outcome = std::unexpected(TlsError::general("Failed to parse x509 certificate"));
  if (length > 0) {
    outcome = state->verifier->verify_server_cert(state->identity,
                                                  std::span<const std::uint8_t>(der, static_cast<std::size_t>(length)));
  }
  OPENSSL_free(der);
  if (!outcome) {
    X509_STORE_CTX_set_error(store, x509_error_for(outcome.error()));
    state->rejection = outcome.error();
    return 0;
  }
  X509_STORE_CTX_set_error(store, X509_V_OK);
  return 1;
}

}  // namespace

void attach_session_state(SSL* session, SessionState* state) { SSL_set_app_data(session, state); }

SessionState* session_state(SSL* session) { return static_cast<SessionState*>(SSL_get_app_data(session)); }

std::expected<TlsConfig, TlsError> make_tls_config(std::shared_ptr<const CertVerifier> verifier) {
  ERR_clear_error();
  SslCtxPtr context(SSL_CTX_new(TLS_client_method()));
  if (!context) return std::unexpected(TlsError::general(take_openssl_error()));
  SSL_CTX* ctx = context.get();
  const bool configured = SSL_CTX_set_min_proto_version(ctx, TLS1_2_VERSION) == 1 &&
                          SSL_CTX_set_max_proto_version(ctx, TLS1_3_VERSION) == 1 &&
                          SSL_CTX_set_ciphersuites(ctx, tls13_suites) == 1 &&
                          SSL_CTX_set_cipher_list(ctx, tls12_suites) == 1 &&
                          SSL_CTX_set1_groups_list(ctx, groups) == 1 &&
                          SSL_CTX_set1_sigalgs_list(ctx, sigalgs_list().c_str()) == 1;
  if (!configured) return std::unexpected(TlsError::general(take_openssl_error()));
  // Modules whose TLS 1.2 stack signs only with SHA-1 must be reachable, but
  // OpenSSL's security level 1 and up (Debian's configuration asks for 2)
  // drops rsa_pkcs1_sha1 and ecdsa_sha1 from the hello. Level 0 lets them in
  // and admits nothing else here, because everything it would relax is fixed
  // above or below: versions (1.2 and 1.3 only), suites (ECDHE with AEAD
  // only: no anonymous, export, RC4 or DHE suites), groups (X25519, P-256,
  // P-384: no small curves or DH parameters), the signature schemes (the
  // thirteen offered; OpenSSL never takes SHA-1 or PKCS#1 in TLS 1.3), the
  // server key (the verifier accepts only the CA's own 4096-bit key),
  // compression and tickets (off), renegotiation (refused).
  SSL_CTX_set_security_level(ctx, 0);
  // Each connection stands alone: no session is kept for resumption.
  SSL_CTX_set_session_cache_mode(ctx, SSL_SESS_CACHE_OFF);
  SSL_CTX_set_options(ctx, SSL_OP_NO_TICKET | SSL_OP_NO_RENEGOTIATION | SSL_OP_NO_COMPRESSION);
  SSL_CTX_set_verify(ctx, SSL_VERIFY_PEER, nullptr);
  SSL_CTX_set_cert_verify_callback(ctx, verify_server_certificate, nullptr);
  return TlsConfig{std::move(context), std::move(verifier)};
}

}  // namespace tavik::kovo_base::tcp
