#pragma once
// Small owners for OpenSSL objects and the error queue as text.
#include <memory>
#include <string>

#include <openssl/bio.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

namespace tavik::kovo_base::tcp {

struct OpensslFree {
  void operator()(X509* p) const { X509_free(p); }
  void operator()(BIO* p) const { BIO_free(p); }
  void operator()(SSL* p) const { SSL_free(p); }
  void operator()(SSL_CTX* p) const { SSL_CTX_free(p); }
};
using X509Ptr = std::unique_ptr<X509, OpensslFree>;
using BioPtr = std::unique_ptr<BIO, OpensslFree>;
using SslPtr = std::unique_ptr<SSL, OpensslFree>;
using SslCtxPtr = std::unique_ptr<SSL_CTX, OpensslFree>;

// The reason text of the oldest queued error (or fallback), and empties the queue.
std::string take_openssl_error(std::string_view fallback = "unknown TLS error");

}  // namespace tavik::kovo_base::tcp
