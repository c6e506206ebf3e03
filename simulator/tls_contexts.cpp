#include "simulator/tls_contexts.h"

#include <cstdio>
#include <fmt/format.h>
#include <openssl/bn.h>
#include <openssl/core_names.h>
#include <openssl/err.h>
#include <openssl/evp.h>
#include <openssl/param_build.h>
#include <openssl/pem.h>
#include <openssl/x509.h>

namespace tavik::simulator {
namespace {

// The parameters the library offers: TLS 1.3 and 1.2, AEAD suites, ECDHE.
constexpr const char* kTls13Suites = "TLS_AES_256_GCM_SHA384:TLS_AES_128_GCM_SHA256:TLS_CHACHA20_POLY1305_SHA256";
constexpr const char* kTls12Suites =
    "ECDHE-ECDSA-AES256-GCM-SHA384:ECDHE-ECDSA-AES128-GCM-SHA256:ECDHE-ECDSA-CHACHA20-POLY1305:"
    "ECDHE-RSA-AES256-GCM-SHA384:ECDHE-RSA-AES128-GCM-SHA256:ECDHE-RSA-CHACHA20-POLY1305";
constexpr const char* kGroups = "X25519:P-256:P-384";

struct FileClose {
  void operator()(FILE* f) const { std::fclose(f); }
};

std::expected<SslCtx, std::string> new_context() {
  SslCtx ctx(SSL_CTX_new(TLS_server_method()));
  if (!ctx) return std::unexpected("SSL_CTX_new: " + take_openssl_errors());
  if (SSL_CTX_set_min_proto_version(ctx.get(), TLS1_2_VERSION) != 1 ||
      SSL_CTX_set_max_proto_version(ctx.get(), TLS1_3_VERSION) != 1 ||
      SSL_CTX_set_ciphersuites(ctx.get(), kTls13Suites) != 1 ||
      SSL_CTX_set_cipher_list(ctx.get(), kTls12Suites) != 1 || SSL_CTX_set1_groups_list(ctx.get(), kGroups) != 1) {
    return std::unexpected("TLS parameters: " + take_openssl_errors());
  }
  return ctx;
}

std::expected<SslCtx, std::string> context_for(const std::string& cert, const std::string& key) {
  auto ctx = new_context();
  if (!ctx) return ctx;
  if (SSL_CTX_use_certificate_file(ctx->get(), cert.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_use_PrivateKey_file(ctx->get(), key.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_check_private_key(ctx->get()) != 1) {
    return std::unexpected(fmt::format("loading {} / {}: {}", cert, key, take_openssl_errors()));
  }
  return ctx;
}

using Pkey = std::unique_ptr<EVP_PKEY, decltype(&EVP_PKEY_free)>;
using Bignum = std::unique_ptr<BIGNUM, decltype(&BN_free)>;

Pkey read_key(const std::string& path, bool private_key) {
  std::unique_ptr<FILE, FileClose> file(std::fopen(path.c_str(), "rb"));
  if (!file) return Pkey(nullptr, EVP_PKEY_free);
  if (private_key) return Pkey(PEM_read_PrivateKey(file.get(), nullptr, nullptr, nullptr), EVP_PKEY_free);
  std::unique_ptr<X509, decltype(&X509_free)> x509(PEM_read_X509(file.get(), nullptr, nullptr, nullptr), X509_free);
  return Pkey(x509 ? X509_get_pubkey(x509.get()) : nullptr, EVP_PKEY_free);
}

Bignum rsa_param(const EVP_PKEY* key, const char* name) {
  BIGNUM* value = nullptr;
  EVP_PKEY_get_bn_param(key, name, &value);
  return Bignum(value, BN_free);
}

// What an impostor holds: the CA's public key (modulus and exponent, copied
// from the CA certificate) but not its private exponent, so it signs with
// another key's. OpenSSL then accepts the pair (the public halves match) and
// the handshake signature fails for any client that checks it.
Pkey impostor_key(const std::string& ca_cert, const std::string& other_key) {
  const Pkey ca = read_key(ca_cert, false);
  const Pkey other = read_key(other_key, true);
  if (!ca || !other) return Pkey(nullptr, EVP_PKEY_free);
  const Bignum n = rsa_param(ca.get(), OSSL_PKEY_PARAM_RSA_N);
  const Bignum e = rsa_param(ca.get(), OSSL_PKEY_PARAM_RSA_E);
  const Bignum d = rsa_param(other.get(), OSSL_PKEY_PARAM_RSA_D);
  if (!n || !e || !d) return Pkey(nullptr, EVP_PKEY_free);
  std::unique_ptr<OSSL_PARAM_BLD, decltype(&OSSL_PARAM_BLD_free)> build(OSSL_PARAM_BLD_new(), OSSL_PARAM_BLD_free);
  if (!build || OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_N, n.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_E, e.get()) != 1 ||
      OSSL_PARAM_BLD_push_BN(build.get(), OSSL_PKEY_PARAM_RSA_D, d.get()) != 1) {
    return Pkey(nullptr, EVP_PKEY_free);
  }
  std::unique_ptr<OSSL_PARAM, decltype(&OSSL_PARAM_free)> params(OSSL_PARAM_BLD_to_param(build.get()),
                                                                  OSSL_PARAM_free);
  std::unique_ptr<EVP_PKEY_CTX, decltype(&EVP_PKEY_CTX_free)> ctx(EVP_PKEY_CTX_new_from_name(nullptr, "RSA", nullptr),
                                                                   EVP_PKEY_CTX_free);
  EVP_PKEY* key = nullptr;
  if (!params || !ctx || EVP_PKEY_fromdata_init(ctx.get()) != 1 ||
      EVP_PKEY_fromdata(ctx.get(), &key, EVP_PKEY_KEYPAIR, params.get()) != 1) {
    return Pkey(nullptr, EVP_PKEY_free);
  }
  return Pkey(key, EVP_PKEY_free);
}

std::expected<SslCtx, std::string> impostor_context(const std::string& cert, const std::string& other_key) {
  auto ctx = new_context();
  if (!ctx) return ctx;
  const Pkey key = impostor_key(cert, other_key);
  if (!key || SSL_CTX_use_certificate_file(ctx->get(), cert.c_str(), SSL_FILETYPE_PEM) != 1 ||
      SSL_CTX_use_PrivateKey(ctx->get(), key.get()) != 1) {
    return std::unexpected("impostor identity: " + take_openssl_errors());
  }
  return ctx;
}

// A module whose TLS 1.2 stack knows no signature but RSA with SHA-1: it can
// sign its key exchange only when the client offers rsa_pkcs1_sha1.
std::expected<SslCtx, std::string> sha1_only_context(const std::string& cert, const std::string& key) {
  auto ctx = context_for(cert, key);
  if (!ctx) return ctx;
  SSL_CTX_set_security_level(ctx->get(), 0);  // SHA-1 is below every level above 0
  if (SSL_CTX_set_max_proto_version(ctx->get(), TLS1_2_VERSION) != 1 ||
      SSL_CTX_set1_sigalgs_list(ctx->get(), "RSA+SHA1") != 1) {
    return std::unexpected("SHA-1 identity: " + take_openssl_errors());
  }
  return ctx;
}

}  // namespace

std::string take_openssl_errors() {
  std::string text;
  while (const unsigned long code = ERR_get_error()) {
    char line[256];
    ERR_error_string_n(code, line, sizeof line);
    if (!text.empty()) text += "; ";
    text += line;
  }
  return text.empty() ? "no OpenSSL error recorded" : text;
}

std::expected<TlsContexts, std::string> TlsContexts::load(const std::string& dir) {
  auto genuine = context_for(dir + "/server-cert.pem", dir + "/ca-key.pem");
  if (!genuine) return std::unexpected(genuine.error());
  auto other = context_for(dir + "/other-key-cert.pem", dir + "/other-key.pem");
  if (!other) return std::unexpected(other.error());
  auto impostor = impostor_context(dir + "/ca-cert.pem", dir + "/other-key.pem");
  if (!impostor) return std::unexpected(impostor.error());
  auto sha1_only = sha1_only_context(dir + "/server-cert.pem", dir + "/ca-key.pem");
  if (!sha1_only) return std::unexpected(sha1_only.error());
  TlsContexts contexts;
  contexts.genuine_ = std::move(*genuine);
  contexts.other_key_ = std::move(*other);
  contexts.impostor_ = std::move(*impostor);
  contexts.sha1_only_ = std::move(*sha1_only);
  return contexts;
}

SSL_CTX* TlsContexts::for_fault(Fault fault) const {
  if (fault == Fault::WrongCertificate) return other_key_.get();
  if (fault == Fault::Impostor) return impostor_.get();
  if (fault == Fault::Sha1Signatures) return sha1_only_.get();
  return genuine_.get();
}

}  // namespace tavik::simulator
