#pragma once
// A TLS failure as the transport reports it: a rejected server certificate or
// a general TLS error with its message.
#include <cstdint>
#include <string>

namespace tavik::kovo_base::tcp {

struct TlsError {
  enum class Kind : std::uint8_t {
    CertificateNotValidForName,
    CertificateBadSignature,
    General,
  };
  Kind kind = Kind::General;
  std::string message;  // General only

  static TlsError general(std::string message) { return {Kind::General, std::move(message)}; }
  static TlsError not_valid_for_name() { return {Kind::CertificateNotValidForName, {}}; }
  static TlsError bad_signature() { return {Kind::CertificateBadSignature, {}}; }

  // "invalid peer certificate: BadSignature", or the general message.
  std::string display() const;
  friend bool operator==(const TlsError&, const TlsError&) = default;
};

}  // namespace tavik::kovo_base::tcp
