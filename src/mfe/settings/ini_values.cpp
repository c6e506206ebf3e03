#include "mfe/settings/ini_values.h"

#include <fmt/format.h>

namespace tavik::mfe::ini {

std::expected<bool, IniError> parse_bool(std::string_view value) {
  if (value == "true") return true;
  if (value == "false") return false;
  return std::unexpected(IniError::custom("provided string was not `true` or `false`"));
}

std::expected<ConnectionMethod, IniError> parse_method(std::string_view value) {
  if (value == "Usb") return ConnectionMethod::Usb;
  if (value == "Network") return ConnectionMethod::Network;
  return std::unexpected(IniError::custom(fmt::format("unknown variant `{}`, expected `Usb` or `Network`", value)));
}

std::expected<std::uint8_t, IniError> parse_u8(std::string_view value) {
  if (value.empty()) return std::unexpected(IniError::custom("cannot parse integer from empty string"));
  std::string_view digits = value.starts_with('+') ? value.substr(1) : value;
  const auto invalid_digit = [] { return std::unexpected(IniError::custom("invalid digit found in string")); };
  if (digits.empty()) return invalid_digit();
  // Digit by digit, so that whichever fault comes first is the one reported.
  unsigned number = 0;
  for (const char c : digits) {
    if (c < '0' || c > '9') return invalid_digit();
    number = number * 10 + static_cast<unsigned>(c - '0');
    if (number > 255) return std::unexpected(IniError::custom("number too large to fit in target type"));
  }
  return static_cast<std::uint8_t>(number);
}

}  // namespace tavik::mfe::ini
