#include "kovo_base/tcp/openssl_util.h"

#include <openssl/err.h>

namespace tavik::kovo_base::tcp {

std::string take_openssl_error(std::string_view fallback) {
  const unsigned long code = ERR_get_error();
  ERR_clear_error();
  if (code == 0) return std::string(fallback);
  const char* reason = ERR_reason_error_string(code);
  if (reason) return reason;
  char text[256];
  ERR_error_string_n(code, text, sizeof text);
  return text;
}

}  // namespace tavik::kovo_base::tcp
