#include "base/utf8_check.h"

#include <fmt/format.h>

namespace tavik::kovo_base {

namespace {

bool is_continuation(unsigned char c) { return (c & 0xC0) == 0x80; }

}  // namespace

std::string Utf8Error::display() const {
  if (error_len) return fmt::format("invalid utf-8 sequence of {} bytes from index {}", *error_len, valid_up_to);
  return fmt::format("incomplete utf-8 byte sequence from index {}", valid_up_to);
}

std::string Utf8Error::debug() const {
  if (error_len) return fmt::format("Utf8Error {{ valid_up_to: {}, error_len: Some({}) }}", valid_up_to, *error_len);
  return fmt::format("Utf8Error {{ valid_up_to: {}, error_len: None }}", valid_up_to);
}

std::optional<Utf8Error> check_utf8(std::string_view bytes) {
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char lead = s[i];
    if (lead < 0x80) {
      ++i;
      continue;
    }
    std::size_t width = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
      width = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      width = 3;
      if (lead == 0xE0) low = 0xA0;  // no overlong forms
      if (lead == 0xED) high = 0x9F;  // no surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      width = 4;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;  // nothing above U+10FFFF
    } else {
      return Utf8Error{i, 1};
    }
    if (i + 1 >= n) return Utf8Error{i, std::nullopt};
    if (s[i + 1] < low || s[i + 1] > high) return Utf8Error{i, 1};
    for (std::size_t k = 2; k < width; ++k) {
      if (i + k >= n) return Utf8Error{i, std::nullopt};
      if (!is_continuation(s[i + k])) return Utf8Error{i, static_cast<std::uint8_t>(k)};
    }
    i += width;
  }
  return std::nullopt;
}

}  // namespace tavik::kovo_base
