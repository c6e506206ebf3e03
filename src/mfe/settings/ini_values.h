#pragma once
// Conversion of a trimmed INI value by the type of its key. Strict: no
// letter-case folding, no signs other than a leading "+".
#include <cstdint>
#include <expected>
#include <string_view>

#include "mfe/settings/ini_error.h"
#include "mfe/settings/settings.h"

namespace tavik::mfe::ini {

std::expected<bool, IniError> parse_bool(std::string_view value);
std::expected<ConnectionMethod, IniError> parse_method(std::string_view value);
std::expected<std::uint8_t, IniError> parse_u8(std::string_view value);

}  // namespace tavik::mfe::ini
