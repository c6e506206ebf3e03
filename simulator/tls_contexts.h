#pragma once
// The three TLS identities the simulator can present: the genuine module's,
// a certificate for another key, and the impostor (the CA certificate
// without the CA's private key).
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
};

// The OpenSSL error queue as one line, emptied.
std::string take_openssl_errors();

}  // namespace tavik::simulator
