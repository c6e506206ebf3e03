#include "kovo_base/tcp/cert_verifier.h"

#include <array>

#include <openssl/crypto.h>
#include <openssl/err.h>
#include <openssl/pem.h>

#include "kovo_base/tcp/openssl_util.h"
#include "log/log.h"

namespace tavik::kovo_base::tcp {
namespace {

constexpr std::string_view handle_target = "kovo_base::connection::handle";

constexpr std::array<std::uint16_t, 13> schemes = {
    0x0201,  // rsa_pkcs1_sha1
    0x0203,  // ecdsa_sha1
    0x0401,  // rsa_pkcs1_sha256
    0x0403,  // ecdsa_secp256r1_sha256
    0x0501,  // rsa_pkcs1_sha384
    0x0503,  // ecdsa_secp384r1_sha384
    0x0601,  // rsa_pkcs1_sha512
    0x0603,  // ecdsa_secp521r1_sha512
    0x0804,  // rsa_pss_rsae_sha256
    0x0805,  // rsa_pss_rsae_sha384
    0x0806,  // rsa_pss_rsae_sha512
    0x0807,  // ed25519
    0x0808,  // ed448
};

X509Ptr parse_der(std::span<const std::uint8_t> der) {
  const unsigned char* at = der.data();
  X509Ptr certificate(d2i_X509(nullptr, &at, static_cast<long>(der.size())));
  // Trailing bytes after the certificate make it no certificate either.
  if (certificate && at != der.data() + der.size()) certificate.reset();
  return certificate;
}

bool equal_ignoring_ascii_case(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    const auto lower = [](char c) { return (c >= 'A' && c <= 'Z') ? char(c - 'A' + 'a') : c; };
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

}  // namespace

std::expected<PemBlock, std::string> decode_pem(std::string_view text) {
  ERR_clear_error();
  BioPtr input(BIO_new_mem_buf(text.data(), static_cast<int>(text.size())));
  if (!input) return std::unexpected(take_openssl_error("out of memory"));
  char* name = nullptr;
  char* header = nullptr;
  unsigned char* data = nullptr;
  long length = 0;
  if (PEM_read_bio(input.get(), &name, &header, &data, &length) != 1) {
    return std::unexpected(take_openssl_error("no PEM block"));
  }
  PemBlock block{name, std::vector<std::uint8_t>(data, data + length)};
  OPENSSL_free(name);
  OPENSSL_free(header);
  OPENSSL_free(data);
  return block;
}

bool same_identity(const ServerName& a, const ServerName& b) {
  if (a.value.index() != b.value.index()) return false;
  if (const auto* name = std::get_if<std::string>(&a.value)) {
    return equal_ignoring_ascii_case(*name, std::get<std::string>(b.value));
  }
  return std::get<ServerName::IpAddress>(a.value) == std::get<ServerName::IpAddress>(b.value);
}

std::expected<void, TlsError> CertVerifier::verify_server_cert(const ServerName& session_identity,
                                                               std::span<const std::uint8_t> end_entity_der) const {
  if (!same_identity(session_identity, server_name_)) {
    LOG_ERROR(handle_target, "Failed server name validation");
    return std::unexpected(TlsError::not_valid_for_name());
  }
  return check_certificate(end_entity_der);
}

std::expected<void, TlsError> CertVerifier::check_certificate(std::span<const std::uint8_t> presented_der) const {
  ERR_clear_error();
  const X509Ptr presented = parse_der(presented_der);
  if (!presented) {
    ERR_clear_error();
    return std::unexpected(TlsError::general("Failed to parse x509 certificate"));
  }
  const X509Ptr ca = parse_der(pem_.der);
  if (!ca) {
    return std::unexpected(
        TlsError::general("Failed to parse x509 certificate: " + take_openssl_error("trailing data after certificate")));
  }
  EVP_PKEY* presented_key = X509_get0_pubkey(presented.get());
  // The CA certificate is self-signed: only the CA's own public key verifies
  // its signature, so this pins the server to the CA's key pair.
  const bool verified = presented_key && X509_verify(ca.get(), presented_key) == 1;
  ERR_clear_error();
  if (!verified) return std::unexpected(TlsError::bad_signature());
  return {};
}

std::span<const std::uint16_t> CertVerifier::supported_schemes() { return schemes; }

}  // namespace tavik::kovo_base::tcp
