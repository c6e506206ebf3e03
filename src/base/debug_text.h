#pragma once
// Debug renderings of plain values: texts in double quotes with escapes,
// optionals as None or Some(..).
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavik::kovo_base {

std::string debug_quoted(std::string_view text);
std::string debug_optional(const std::optional<std::string>& text);
std::string debug_optional(const std::optional<std::uint8_t>& number);

}  // namespace tavik::kovo_base
