#pragma once
// UTF-8 validation with an ASCII fast path, and the lossy conversion that puts
// U+FFFD in place of each invalid sequence.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tavik::codec::detail {

struct Utf8Error {
  std::size_t valid_up_to = 0;  // bytes before the first invalid sequence
  std::size_t error_len = 0;    // length of that sequence; 0 when the input ends inside it
};

std::optional<Utf8Error> find_utf8_error(std::string_view bytes);

std::string utf8_error_text(const Utf8Error& error);

// Each maximal invalid subsequence becomes one U+FFFD, as the Unicode
// standard recommends.
void append_lossy_utf8(std::string& out, std::string_view bytes);

}  // namespace tavik::codec::detail
