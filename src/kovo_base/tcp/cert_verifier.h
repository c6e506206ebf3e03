#pragma once
// The check that authenticates a fiscal module: its certificate must carry the
// public key of the CA certificate compiled into the library.
#include <cstdint>
#include <expected>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "kovo_base/tcp/ipv4.h"
#include "kovo_base/tcp/tls_error.h"

namespace tavik::kovo_base::tcp {

struct PemBlock {
  std::string label;              // e.g. "CERTIFICATE"
  std::vector<std::uint8_t> der;  // the decoded contents
};

// The first PEM block of the text; the error is the decoder's text.
std::expected<PemBlock, std::string> decode_pem(std::string_view text);

// The identity a TLS session is for: a host name, or an IP address (4 or 16 bytes).
struct ServerName {
  struct IpAddress {
    std::vector<std::uint8_t> bytes;
    friend bool operator==(const IpAddress&, const IpAddress&) = default;
  };
  std::variant<std::string, IpAddress> value;

  static ServerName ip_v4(const Ipv4& address) { return {IpAddress{{address.begin(), address.end()}}}; }
  static ServerName dns(std::string name) { return {std::move(name)}; }
};

// Host names compare without regard to ASCII case, addresses by their bytes;
// a name never equals an address.
bool same_identity(const ServerName& a, const ServerName& b);

class CertVerifier {
 public:
  CertVerifier(PemBlock pem, ServerName server_name) : pem_(std::move(pem)), server_name_(std::move(server_name)) {}

  // The end-entity certificate that the server presented to the session with
  // this identity. Chain, validity dates and revocation are not consulted.
  std::expected<void, TlsError> verify_server_cert(const ServerName& session_identity,
                                                   std::span<const std::uint8_t> end_entity_der) const;

  // Accepts a certificate whose public key verifies the CA certificate's own
  // signature, which holds exactly for certificates carrying the CA's key.
  std::expected<void, TlsError> check_certificate(std::span<const std::uint8_t> presented_der) const;

  // TLS SignatureScheme code points declared as supported, in order.
  static std::span<const std::uint16_t> supported_schemes();

  const PemBlock& pem() const { return pem_; }
  const ServerName& server_name() const { return server_name_; }

 private:
  PemBlock pem_;
  ServerName server_name_;
};

}  // namespace tavik::kovo_base::tcp
