#include "simulator/text_utils.h"

#include <charconv>
#include <fmt/format.h>

namespace tavik::simulator {
namespace {
constexpr std::string_view kAlphabet =
    "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
}

std::string base64_encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  for (; i + 2 < bytes.size(); i += 3) {
    const std::uint32_t n = (std::uint8_t(bytes[i]) << 16) | (std::uint8_t(bytes[i + 1]) << 8) |
                            std::uint8_t(bytes[i + 2]);
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += kAlphabet[(n >> 6) & 63];
    out += kAlphabet[n & 63];
  }
  const std::size_t rest = bytes.size() - i;
  if (rest > 0) {
    std::uint32_t n = std::uint8_t(bytes[i]) << 16;
    if (rest == 2) n |= std::uint8_t(bytes[i + 1]) << 8;
    out += kAlphabet[(n >> 18) & 63];
    out += kAlphabet[(n >> 12) & 63];
    out += rest == 2 ? kAlphabet[(n >> 6) & 63] : '=';
    out += '=';
  }
  return out;
}

bool is_base64(std::string_view text) {
  if (text.empty() || text.size() % 4 != 0) return false;
  std::size_t padding = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '=') {
      ++padding;
      continue;
    }
    if (padding > 0 || kAlphabet.find(c) == std::string_view::npos) return false;
  }
  return padding <= 2;
}

bool all_digits(std::string_view text) {
  if (text.empty()) return false;
  for (const char c : text) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

std::optional<std::int64_t> parse_integer(std::string_view text) {
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (ec != std::errc{} || end != text.data() + text.size() || text.empty()) return std::nullopt;
  return value;
}

std::string zero_padded(std::uint64_t value, int width) { return fmt::format("{:0{}}", value, width); }

namespace {
struct CivilTime {
  int year;
  unsigned month, day;
  long hours, minutes, seconds;
};

CivilTime civil(std::chrono::system_clock::time_point at) {
  using namespace std::chrono;
  const auto day = floor<days>(at);
  const year_month_day ymd{day};
  const hh_mm_ss hms{floor<seconds>(at - day)};
  return {int(ymd.year()), unsigned(ymd.month()), unsigned(ymd.day()), hms.hours().count(),
          hms.minutes().count(), long(hms.seconds().count())};
}
}  // namespace

std::string date_time_text(std::chrono::system_clock::time_point at) {
  const auto t = civil(at);
  return fmt::format("{:04}{:02}{:02}{:02}{:02}{:02}", t.year, t.month, t.day, t.hours, t.minutes, t.seconds);
}

std::string date_text(std::chrono::system_clock::time_point at) {
  const auto t = civil(at);
  return fmt::format("{:04}{:02}{:02}", t.year, t.month, t.day);
}

std::string amount_text(std::int64_t cents) {
  const char* sign = cents < 0 ? "-" : "";
  const std::uint64_t magnitude = cents < 0 ? std::uint64_t(-(cents + 1)) + 1 : std::uint64_t(cents);
  return fmt::format("{}{}.{:02}", sign, magnitude / 100, magnitude % 100);
}

}  // namespace tavik::simulator
