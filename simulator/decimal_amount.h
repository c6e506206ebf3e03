#pragma once
// Exact decimal money for the simulated device: amounts and quantities as
// scaled integers, rounded to cents the way the CF-e rules round, never
// through binary floating point (1.255 x 10.00 must give 12.55, not 12.54).
#include <cstdint>
#include <optional>
#include <string_view>

namespace tavik::simulator {

// value = units / 10^scale
struct DecimalAmount {
  std::int64_t units = 0;
  int scale = 0;
};

// At most this many digits before and after the point: the CF-e layout's
// widest amount has 15, and two such numbers multiply exactly in 128 bits.
inline constexpr int kMaxDecimalDigits = 18;

// "2", "2.5", "-0.005", "+3.10" -> exact value; nothing for anything else
// (exponents, blanks, commas, more than kMaxDecimalDigits digits).
std::optional<DecimalAmount> parse_decimal(std::string_view text);

// How the CF-e turns an item's quantity x unit price into cents (indRegra):
// ABNT NBR 5891 rounding (a dropped part of exactly one half rounds to the
// even cent, more than half rounds away from zero), or truncation.
enum class CentsRule { Round, Truncate };

std::int64_t cents_of(DecimalAmount value, CentsRule rule = CentsRule::Round);
std::int64_t product_cents(DecimalAmount a, DecimalAmount b, CentsRule rule);

}  // namespace tavik::simulator
