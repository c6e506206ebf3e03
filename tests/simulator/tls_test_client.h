#pragma once
// A minimal TLS client of the module's service, built from OpenSSL and the
// codec: verifies the server against the CA and can also apply the library's
// own check (the CA's signature must verify with the presented key).
#include <expected>
#include <memory>
#include <string>

#include <openssl/err.h>
#include <openssl/pem.h>
#include <openssl/ssl.h>
#include <openssl/x509.h>

#include "codec/frame.h"
#include "simulator/platform/socket.h"

namespace tavik::simulator::testing {

inline std::unique_ptr<X509, decltype(&X509_free)> parse_pem_certificate(std::string_view pem) {
  std::unique_ptr<BIO, decltype(&BIO_free)> bio(BIO_new_mem_buf(pem.data(), int(pem.size())), BIO_free);
  return {PEM_read_bio_X509(bio.get(), nullptr, nullptr, nullptr), X509_free};
}

enum class Verification { Chain, CaSignatureWithPresentedKey };

class TlsTestClient {
 public:
  static std::expected<TlsTestClient, std::string> connect(const std::string& address, std::uint16_t port,
                                                           std::string_view ca_pem, Verification verification) {
    TlsTestClient client;
    client.ca_ = parse_pem_certificate(ca_pem).release();
    client.ctx_ = SSL_CTX_new(TLS_client_method());
    SSL_CTX_set_min_proto_version(client.ctx_, TLS1_2_VERSION);
    X509_STORE_add_cert(SSL_CTX_get_cert_store(client.ctx_), client.ca_);
    SSL_CTX_set_verify(client.ctx_, SSL_VERIFY_PEER, nullptr);
    if (verification == Verification::CaSignatureWithPresentedKey) {
      SSL_CTX_set_cert_verify_callback(client.ctx_, &library_check, client.ca_);
    }
    auto socket = platform::connect_tcp(address, port);
    if (!socket) return std::unexpected(socket.error());
    client.socket_ = std::move(*socket);
    client.ssl_ = SSL_new(client.ctx_);
    SSL_set_fd(client.ssl_, client.socket_.native());
    ERR_clear_error();
    if (SSL_connect(client.ssl_) != 1) {
      char text[256] = "handshake failed";
      if (const auto code = ERR_get_error()) ERR_error_string_n(code, text, sizeof text);
      ERR_clear_error();
      return std::unexpected(std::string(text));
    }
    return client;
  }

  TlsTestClient(TlsTestClient&& other) noexcept
      : socket_(std::move(other.socket_)), ctx_(other.ctx_), ssl_(other.ssl_), ca_(other.ca_) {
    other.ctx_ = nullptr;
    other.ssl_ = nullptr;
    other.ca_ = nullptr;
  }
  ~TlsTestClient() {
    if (ssl_) SSL_free(ssl_);
    if (ctx_) SSL_CTX_free(ctx_);
    if (ca_) X509_free(ca_);
  }

  bool write(const codec::Bytes& bytes) { return SSL_write(ssl_, bytes.data(), int(bytes.size())) > 0; }

  // Reads until a whole SAT frame has arrived.
  std::expected<codec::SatBody, std::string> read_sat_frame() {
    codec::Bytes buffer;
    std::uint8_t chunk[4096];
    while (true) {
      if (auto parsed = codec::sat::parse_frame_header(buffer); parsed && parsed->rest.size() >= parsed->header.content_size) {
        auto body = codec::sat::decode_frame_body(parsed->header, parsed->rest);
        if (!body) return std::unexpected(body.error().display());
        return *body;
      }
      const int n = SSL_read(ssl_, chunk, int(sizeof chunk));
      if (n <= 0) return std::unexpected("connection ended");
      buffer.insert(buffer.end(), chunk, chunk + n);
    }
  }

  std::string protocol() const { return SSL_get_version(ssl_); }

 private:
  TlsTestClient() = default;

  // The check the library makes instead of chain verification.
  static int library_check(X509_STORE_CTX* store, void* ca) {
    X509* presented = X509_STORE_CTX_get0_cert(store);
    EVP_PKEY* key = presented ? X509_get0_pubkey(presented) : nullptr;
    return key && X509_verify(static_cast<X509*>(ca), key) == 1 ? 1 : 0;
  }

  platform::Socket socket_;
  SSL_CTX* ctx_ = nullptr;
  SSL* ssl_ = nullptr;
  X509* ca_ = nullptr;
};

}  // namespace tavik::simulator::testing
