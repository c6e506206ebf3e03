#include "codec/decimal.h"

#include <limits>

namespace tavik::codec::detail {
namespace {

constexpr const char* kEmpty = "cannot parse integer from empty string";
constexpr const char* kInvalidDigit = "invalid digit found in string";
constexpr const char* kTooLarge = "number too large to fit in target type";
constexpr const char* kTooSmall = "number too small to fit in target type";

// Reads the digits of `text` as a magnitude no larger than `limit`.
// Returns the error text, or nullptr with the value in `out`.
const char* read_magnitude(std::string_view text, std::uint64_t limit, std::uint64_t& out, const char* overflow) {
  if (text.empty()) return kInvalidDigit;  // a sign alone
  std::uint64_t value = 0;
  bool overflowed = false;
  for (const char c : text) {
    if (c < '0' || c > '9') return kInvalidDigit;
    const auto digit = static_cast<std::uint64_t>(c - '0');
    if (!overflowed && value > (limit - digit) / 10) overflowed = true;
    if (!overflowed) value = value * 10 + digit;
  }
  if (overflowed) return overflow;
  out = value;
  return nullptr;
}

template <class Unsigned>
std::expected<Unsigned, std::string> parse_unsigned(std::string_view text) {
  if (text.empty()) return std::unexpected(kEmpty);
  if (text.front() == '+') text.remove_prefix(1);
  std::uint64_t value = 0;
  if (const char* error = read_magnitude(text, std::numeric_limits<Unsigned>::max(), value, kTooLarge)) {
    return std::unexpected(error);
  }
  return static_cast<Unsigned>(value);
}

}  // namespace

std::expected<std::uint16_t, std::string> parse_u16(std::string_view text) { return parse_unsigned<std::uint16_t>(text); }
std::expected<std::uint64_t, std::string> parse_u64(std::string_view text) { return parse_unsigned<std::uint64_t>(text); }

std::expected<std::int32_t, std::string> parse_i32(std::string_view text) {
  if (text.empty()) return std::unexpected(kEmpty);
  const bool negative = text.front() == '-';
  if (negative || text.front() == '+') text.remove_prefix(1);
  constexpr std::uint64_t kMaxPositive = std::numeric_limits<std::int32_t>::max();
  const std::uint64_t limit = negative ? kMaxPositive + 1 : kMaxPositive;
  std::uint64_t value = 0;
  if (const char* error = read_magnitude(text, limit, value, negative ? kTooSmall : kTooLarge)) {
    return std::unexpected(error);
  }
  return negative ? static_cast<std::int32_t>(-static_cast<std::int64_t>(value)) : static_cast<std::int32_t>(value);
}

}  // namespace tavik::codec::detail
