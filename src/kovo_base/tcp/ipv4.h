#pragma once
// The strict dotted-decimal IPv4 parser used for the chosen device address.
#include <array>
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace tavik::kovo_base::tcp {

using Ipv4 = std::array<std::uint8_t, 4>;

inline constexpr std::string_view ipv4_parse_error_text = "invalid IPv4 address syntax";

// Exactly four decimal octets of one to three digits, each at most 255, no
// leading zero in a multi-digit octet, nothing before or after.
std::expected<Ipv4, std::string> parse_ipv4(std::string_view text);

}  // namespace tavik::kovo_base::tcp
