#pragma once
// Decimal numbers of the header and the body, read strictly: an optional sign,
// then ASCII digits only, no spaces. Failures carry the text of a ParseInt
// error.
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

namespace tavik::codec::detail {

std::expected<std::uint16_t, std::string> parse_u16(std::string_view text);
std::expected<std::uint64_t, std::string> parse_u64(std::string_view text);
// Accepts a leading "+" or "-".
std::expected<std::int32_t, std::string> parse_i32(std::string_view text);

}  // namespace tavik::codec::detail
