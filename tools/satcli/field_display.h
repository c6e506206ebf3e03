#pragma once
// How satcli prints a result text: each "|" field longer than
// long_field_limit characters is cut to its first shown_field_prefix
// characters, followed by "..." and the field's whole length, so a line
// stays readable when an answer carries a signed sale or a log in base64
// (thousands of characters). --full prints the text unchanged.
#include <cstddef>
#include <string>
#include <string_view>

namespace satcli {

// Longer fields are shortened: a base64 field or an XML document is longer,
// while a module's messages, codes, keys (44 digits) and dates are shorter.
inline constexpr std::size_t long_field_limit = 120;
// What a shortened field still shows; with the length note it stays within
// long_field_limit for fields of up to a million characters.
inline constexpr std::size_t shown_field_prefix = 100;

// Characters are Unicode code points of the UTF-8 text; a cut never splits one.
std::string shorten_long_fields(std::string_view text);

}  // namespace satcli
