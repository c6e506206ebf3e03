#include "field_display.h"

namespace satcli {

namespace {

bool starts_character(char byte) { return (static_cast<unsigned char>(byte) & 0xC0) != 0x80; }

std::size_t character_count(std::string_view text) {
  std::size_t count = 0;
  for (const char byte : text) count += starts_character(byte) ? 1 : 0;
  return count;
}

// The bytes of the first `characters` characters of text.
std::string_view character_prefix(std::string_view text, std::size_t characters) {
  std::size_t seen = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (starts_character(text[i]) && seen++ == characters) return text.substr(0, i);
  }
  return text;
}

void append_field(std::string& out, std::string_view field) {
  const std::size_t length = character_count(field);
  if (length <= long_field_limit) {
    out += field;
    return;
  }
  out += character_prefix(field, shown_field_prefix);
  out += "...(" + std::to_string(length) + " characters)";
}

}  // namespace

std::string shorten_long_fields(std::string_view text) {
  std::string out;
  for (;;) {
    const std::size_t bar = text.find('|');
    append_field(out, text.substr(0, bar));
    if (bar == std::string_view::npos) return out;
    out += '|';
    text.remove_prefix(bar + 1);
  }
}

}  // namespace satcli
