#pragma once
// UTF-8 validation that reports where a byte sequence stops being UTF-8, for
// texts from outside: the environment, settings files, device answers.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavik::kovo_base {

// Where decoding a byte sequence as UTF-8 stopped: the valid prefix length and
// the length of the bad sequence (absent when the input ended mid-sequence).
struct Utf8Error {
  std::size_t valid_up_to = 0;
  std::optional<std::uint8_t> error_len;
  std::string display() const;
  std::string debug() const;
};

// Finds the first invalid UTF-8 sequence in bytes; nothing when all is valid.
std::optional<Utf8Error> check_utf8(std::string_view bytes);

}  // namespace tavik::kovo_base
