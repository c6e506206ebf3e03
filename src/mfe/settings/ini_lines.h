#pragma once
// The line level of the INI dialect: splitting the text into lines and
// telling section headers, key-value lines and skipped lines apart. Lines are
// classified on their raw characters; only keys and values are trimmed.
#include <expected>
#include <string_view>
#include <variant>
#include <vector>

#include "mfe/settings/ini_error.h"

namespace tavik::mfe::ini {

struct SectionHeader {
  std::string_view name;  // between the brackets, untrimmed
};

struct Assignment {
  std::string_view key;    // trimmed
  std::string_view value;  // trimmed
};

struct Skipped {};  // an empty line or a comment

using Line = std::variant<SectionHeader, Assignment, Skipped>;

// Lines end at each line feed, a carriage return right before it going with it.
std::vector<std::string_view> split_lines(std::string_view text);

std::expected<Line, IniError> classify_line(std::string_view line);

// Strips Unicode white space from both ends of valid UTF-8 text.
std::string_view trim_whitespace(std::string_view text);

}  // namespace tavik::mfe::ini
