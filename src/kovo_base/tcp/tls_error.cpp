#include "kovo_base/tcp/tls_error.h"

namespace tavik::kovo_base::tcp {

std::string TlsError::display() const {
  switch (kind) {
    case Kind::CertificateNotValidForName: return "invalid peer certificate: NotValidForName";
    case Kind::CertificateBadSignature: return "invalid peer certificate: BadSignature";
    case Kind::General: return message;
  }
  return message;
}

}  // namespace tavik::kovo_base::tcp
