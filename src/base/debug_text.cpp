#include "base/debug_text.h"

#include <fmt/format.h>

namespace tavik::kovo_base {

std::string debug_quoted(std::string_view text) {
  std::string out = "\"";
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      default: {
        const auto byte = static_cast<unsigned char>(c);
        // Other control characters would garble a log line: show their code.
        if (byte < 0x20 || byte == 0x7F) {
          out += fmt::format("\\u{{{:x}}}", static_cast<unsigned>(byte));
        } else {
          out += c;
        }
      }
    }
  }
  out += '"';
  return out;
}

std::string debug_optional(const std::optional<std::string>& text) {
  return text ? fmt::format("Some({})", debug_quoted(*text)) : std::string("None");
}

std::string debug_optional(const std::optional<std::uint8_t>& number) {
  return number ? fmt::format("Some({})", static_cast<unsigned>(*number)) : std::string("None");
}

}  // namespace tavik::kovo_base
