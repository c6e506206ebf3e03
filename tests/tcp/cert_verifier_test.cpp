// The certificate check against the development CA: which certificates carry
// the CA's key, and the session identity test in front of it.
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "kovo_base/ca_certificate/ca_certificate.h"
#include "kovo_base/tcp/cert_verifier.h"
#include "log_capture.h"

namespace tavik::testing {
namespace {

using kovo_base::tcp::CertVerifier;
using kovo_base::tcp::ServerName;
using kovo_base::tcp::TlsError;

std::vector<std::uint8_t> der_of(const std::string& file) {
  std::ifstream in(std::string(TAVIK_TEST_CERT_DIR) + "/" + file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return kovo_base::tcp::decode_pem(text.str()).value().der;
}

CertVerifier verifier_for(const ServerName& name) {
  return CertVerifier(kovo_base::tcp::decode_pem(kovo_base::ca_certificate_pem()).value(), name);
}

const ServerName loopback = ServerName::ip_v4({127, 0, 0, 1});

TEST(CertVerifierTest, OnlyCertificatesCarryingTheCaKeyPass) {
  struct Case {
    const char* file;
    std::optional<TlsError> rejection;
  };
  const Case cases[] = {
      {"ca-cert.pem", std::nullopt},
      {"server-cert.pem", std::nullopt},  // issued by the CA for the CA's own key
      {"other-key-cert.pem", TlsError::bad_signature()},
  };
  const CertVerifier verifier = verifier_for(loopback);
  for (const Case& c : cases) {
    auto outcome = verifier.verify_server_cert(loopback, der_of(c.file));
    if (c.rejection) {
      ASSERT_FALSE(outcome) << c.file;
      EXPECT_EQ(outcome.error(), *c.rejection) << c.file;
    } else {
      EXPECT_TRUE(outcome) << c.file << ": " << outcome.error().display();
    }
  }
  EXPECT_EQ(TlsError::bad_signature().display(), "invalid peer certificate: BadSignature");
}

TEST(CertVerifierTest, UnreadableCertificatesAreGeneralErrors) {
  const std::vector<std::uint8_t> garbage = {0x30, 0x03, 0x01, 0x02, 0x03};
  auto presented = verifier_for(loopback).check_certificate(garbage);
  ASSERT_FALSE(presented);
  EXPECT_EQ(presented.error(), TlsError::general("Failed to parse x509 certificate"));

  const CertVerifier broken_ca({"CERTIFICATE", garbage}, loopback);
  auto ca = broken_ca.check_certificate(der_of("ca-cert.pem"));
  ASSERT_FALSE(ca);
  EXPECT_EQ(ca.error().kind, TlsError::Kind::General);
  EXPECT_TRUE(ca.error().message.starts_with("Failed to parse x509 certificate: ")) << ca.error().message;
}

TEST(CertVerifierTest, SessionIdentityMustBeTheVerifiersOwn) {
  LogCapture log;
  const CertVerifier verifier = verifier_for(loopback);
  for (const ServerName& other : {ServerName::ip_v4({127, 0, 0, 2}), ServerName::dns("127.0.0.1")}) {
    auto outcome = verifier.verify_server_cert(other, der_of("ca-cert.pem"));
    ASSERT_FALSE(outcome);
    EXPECT_EQ(outcome.error(), TlsError::not_valid_for_name());
  }
  EXPECT_EQ(log.count("[ERROR]", "Failed server name validation"), 2u);
  EXPECT_TRUE(kovo_base::tcp::same_identity(ServerName::dns("Module.Local"), ServerName::dns("module.local")));
}

TEST(CertVerifierTest, CompiledInCertificateDecodes) {
  auto pem = kovo_base::tcp::decode_pem(kovo_base::ca_certificate_pem());
  ASSERT_TRUE(pem) << pem.error();
  EXPECT_EQ(pem->label, "CERTIFICATE");
  auto bad = kovo_base::tcp::decode_pem("no certificate here");
  ASSERT_FALSE(bad);
  EXPECT_FALSE(bad.error().empty());
}

}  // namespace
}  // namespace tavik::testing
