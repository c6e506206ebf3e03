#pragma once
// The TLS identities the simulator can present: the genuine module's, a
// certificate for another key, the impostor (the CA certificate without the
// CA's private key), and the genuine one on an old TLS 1.2 stack that signs
// only with RSA and SHA-1.
#include <expected>
#include <memory>
#include <string>

#include <openssl/ssl.h>

#include "simulator/faults.h"

namespace tavik::simulator {

struct SslCtxFree {
  void operator()(SSL_CTX* ctx) const { SSL_CTX_free(ctx); }
};
using SslCtx = std::unique_ptr<SSL_CTX, SslCtxFree>;

class TlsContexts {
 public:
  static std::expected<TlsContexts, std::string> load(const std::string& cert_dir);
  // The context for a connection under this certificate fault (None: genuine).
  SSL_CTX* for_fault(Fault fault) const;

 private:
  SslCtx genuine_;
  SslCtx other_key_;
  SslCtx impostor_;
  SslCtx sha1_only_;
};

// The OpenSSL error queue as one line, emptied.
std::string take_openssl_errors();

}  // namespace tavik::simulator
