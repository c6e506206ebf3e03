#pragma once
// The CA certificate that fiscal modules' TLS certificates are checked
// against, compiled into the library as PEM text.
#include <string_view>

namespace tavik::kovo_base {

// The whole PEM text, CR LF line ends included, exactly as in the source file.
std::string_view ca_certificate_pem();

// True when the compiled-in certificate is the development CA, whose private
// key is public: such a library must never be deployed.
bool ca_certificate_is_development();

}  // namespace tavik::kovo_base
