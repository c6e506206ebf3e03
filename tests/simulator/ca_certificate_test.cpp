// The compiled-in CA certificate is a self-signed RSA-4096 X.509 v3
// certificate in PEM with CR LF line ends.
#include <gtest/gtest.h>

#include "kovo_base/ca_certificate/ca_certificate.h"
#include "tls_test_client.h"

namespace tavik::simulator::testing {
namespace {

TEST(CompiledCaCertificate, IsASelfSignedRsa4096CertificateWithCrLfLines) {
  const std::string_view pem = kovo_base::ca_certificate_pem();
  ASSERT_TRUE(pem.starts_with("-----BEGIN CERTIFICATE-----\r\n"));
  EXPECT_TRUE(pem.ends_with("-----END CERTIFICATE-----\r\n"));
  for (std::size_t at = pem.find('\n'); at != std::string_view::npos; at = pem.find('\n', at + 1)) {
    ASSERT_GT(at, 0u);
    EXPECT_EQ(pem[at - 1], '\r');
  }
  const auto cert = parse_pem_certificate(pem);
  ASSERT_TRUE(cert);
  EXPECT_EQ(X509_get_version(cert.get()), 2);  // v3
  EXPECT_EQ(EVP_PKEY_get_bits(X509_get0_pubkey(cert.get())), 4096);
  EXPECT_EQ(X509_get_signature_nid(cert.get()), NID_sha256WithRSAEncryption);
  EXPECT_EQ(X509_verify(cert.get(), X509_get0_pubkey(cert.get())), 1);
}

}  // namespace
}  // namespace tavik::simulator::testing
