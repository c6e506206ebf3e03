#include "kovo_base/tcp/ipv4.h"

namespace tavik::kovo_base::tcp {

std::expected<Ipv4, std::string> parse_ipv4(std::string_view text) {
  const auto fail = [] { return std::unexpected(std::string(ipv4_parse_error_text)); };
  if (text.size() > 15) return fail();
  Ipv4 address{};
  std::size_t at = 0;
  for (std::size_t octet = 0; octet < address.size(); ++octet) {
    if (octet > 0) {
      if (at >= text.size() || text[at] != '.') return fail();
      ++at;
    }
    const std::size_t start = at;
    unsigned value = 0;
    while (at < text.size() && at - start < 3 && text[at] >= '0' && text[at] <= '9') {
      value = value * 10 + unsigned(text[at] - '0');
      ++at;
    }
    const std::size_t digits = at - start;
    if (digits == 0 || value > 255) return fail();
    if (digits > 1 && text[start] == '0') return fail();
    address[octet] = static_cast<std::uint8_t>(value);
  }
  if (at != text.size()) return fail();
  return address;
}

}  // namespace tavik::kovo_base::tcp
