#include "simulator/decimal_amount.h"

namespace tavik::simulator {

namespace {

using Wide = __int128;

Wide power_of_ten(int exponent) {
  Wide value = 1;
  for (int i = 0; i < exponent; ++i) value *= 10;
  return value;
}

// units / 10^scale in cents, under the rule.
std::int64_t to_cents(Wide units, int scale, CentsRule rule) {
  if (scale <= 2) return std::int64_t(units * power_of_ten(2 - scale));
  const Wide divisor = power_of_ten(scale - 2);
  const bool negative = units < 0;
  const Wide magnitude = negative ? -units : units;
  Wide cents = magnitude / divisor;
  const Wide rest = magnitude % divisor;
  if (rule == CentsRule::Round) {
    const Wide twice = rest * 2;
    if (twice > divisor || (twice == divisor && cents % 2 != 0)) ++cents;
  }
  return std::int64_t(negative ? -cents : cents);
}

}  // namespace

std::optional<DecimalAmount> parse_decimal(std::string_view text) {
  bool negative = false;
  if (!text.empty() && (text.front() == '+' || text.front() == '-')) {
    negative = text.front() == '-';
    text.remove_prefix(1);
  }
  const auto point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  const std::string_view fraction = point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);
  if (whole.empty() && fraction.empty()) return std::nullopt;
  if (point != std::string_view::npos && fraction.empty()) return std::nullopt;
  if (whole.size() + fraction.size() > std::size_t(kMaxDecimalDigits)) return std::nullopt;
  DecimalAmount value{0, int(fraction.size())};
  for (const std::string_view part : {whole, fraction}) {
    for (const char c : part) {
      if (c < '0' || c > '9') return std::nullopt;
      value.units = value.units * 10 + (c - '0');
    }
  }
  if (negative) value.units = -value.units;
  return value;
}

std::int64_t cents_of(DecimalAmount value, CentsRule rule) { return to_cents(value.units, value.scale, rule); }

std::int64_t product_cents(DecimalAmount a, DecimalAmount b, CentsRule rule) {
  return to_cents(Wide(a.units) * Wide(b.units), a.scale + b.scale, rule);
}

}  // namespace tavik::simulator
