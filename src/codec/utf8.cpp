#include "codec/utf8.h"

#include <cstdint>
#include <cstring>

#include <fmt/format.h>

namespace tavik::codec::detail {
namespace {

constexpr std::uint64_t kHighBits = 0x8080808080808080ULL;

inline bool is_continuation(unsigned char byte) { return (byte & 0xC0U) == 0x80U; }

// Length of the valid sequence starting at `i`, or the error there.
// Returns 0 and fills `error` when the sequence is invalid.
std::size_t sequence_length(const unsigned char* p, std::size_t i, std::size_t n, Utf8Error& error) {
  const unsigned char lead = p[i];
  std::size_t width = 0;
  unsigned char second_lo = 0x80, second_hi = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    width = 2;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    width = 3;
    if (lead == 0xE0) second_lo = 0xA0;  // overlong
    if (lead == 0xED) second_hi = 0x9F;  // surrogates
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    width = 4;
    if (lead == 0xF0) second_lo = 0x90;  // overlong
    if (lead == 0xF4) second_hi = 0x8F;  // beyond U+10FFFF
  } else {
    error = {i, 1};
    return 0;
  }
  for (std::size_t k = 1; k < width; ++k) {
    if (i + k >= n) {
      error = {i, 0};
      return 0;
    }
    const unsigned char byte = p[i + k];
    const bool ok = k == 1 ? (byte >= second_lo && byte <= second_hi) : is_continuation(byte);
    if (!ok) {
      error = {i, k};
      return 0;
    }
  }
  return width;
}

}  // namespace

std::optional<Utf8Error> find_utf8_error(std::string_view bytes) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data());
  const std::size_t n = bytes.size();
  std::size_t i = 0;
  while (i < n) {
    // Runs of ASCII are the common case: test sixteen bytes per step.
    while (i + 16 <= n) {
      std::uint64_t a, b;
      std::memcpy(&a, p + i, 8);
      std::memcpy(&b, p + i + 8, 8);
      if (((a | b) & kHighBits) != 0) break;
      i += 16;
    }
    if (i >= n) break;
    if (p[i] < 0x80) {
      ++i;
      continue;
    }
    Utf8Error error;
    const std::size_t width = sequence_length(p, i, n, error);
    if (width == 0) return error;
    i += width;
  }
  return std::nullopt;
}

std::string utf8_error_text(const Utf8Error& error) {
  if (error.error_len == 0) return fmt::format("incomplete utf-8 byte sequence from index {}", error.valid_up_to);
  return fmt::format("invalid utf-8 sequence of {} bytes from index {}", error.error_len, error.valid_up_to);
}

void append_lossy_utf8(std::string& out, std::string_view bytes) {
  static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";
  out.reserve(out.size() + bytes.size());
  while (!bytes.empty()) {
    const auto error = find_utf8_error(bytes);
    if (!error) {
      out.append(bytes);
      return;
    }
    out.append(bytes.substr(0, error->valid_up_to));
    out.append(kReplacement);
    const std::size_t skipped = error->error_len == 0 ? bytes.size() - error->valid_up_to : error->error_len;
    bytes.remove_prefix(error->valid_up_to + skipped);
  }
}

}  // namespace tavik::codec::detail
