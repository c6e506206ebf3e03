#pragma once
// The TLS client configuration of one connection: TLS 1.3 and 1.2, the
// module's cipher suites and groups, no client certificate, and the
// CertVerifier in place of OpenSSL's chain verification.
#include <expected>
#include <memory>
#include <optional>

#include "kovo_base/tcp/cert_verifier.h"
#include "kovo_base/tcp/openssl_util.h"
#include "kovo_base/tcp/tls_error.h"

namespace tavik::kovo_base::tcp {

// The configuration and every session made from it share the verifier.
struct TlsConfig {
  SslCtxPtr context;
  std::shared_ptr<const CertVerifier> verifier;
};

std::expected<TlsConfig, TlsError> make_tls_config(std::shared_ptr<const CertVerifier> verifier);

// What the verifier callback learns about the session it runs for.
struct SessionState {
  ServerName identity;
  const CertVerifier* verifier = nullptr;
  std::optional<TlsError> rejection;  // why the server certificate was refused
};

// Ties the state to the session for the verifier callback; state must
// outlive the session's handshake.
void attach_session_state(SSL* session, SessionState* state);
SessionState* session_state(SSL* session);

}  // namespace tavik::kovo_base::tcp
