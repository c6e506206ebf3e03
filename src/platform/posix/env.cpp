#include "platform/env.h"

#include <cstdlib>

#include "base/utf8_check.h"

namespace tavik::platform {

std::optional<std::string> read_env_unicode(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  std::string text(value);
  if (kovo_base::check_utf8(text)) return std::nullopt;
  return text;
}

}  // namespace tavik::platform
