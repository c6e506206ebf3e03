#include "mfe/settings/ini_lines.h"

#include <cstdint>

namespace tavik::mfe::ini {

namespace {

bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F || c == 0x3000;
}

bool is_continuation(unsigned char byte) { return (byte & 0xC0) == 0x80; }

// The code point that starts at text[at]; text is valid UTF-8.
char32_t decode_at(std::string_view text, std::size_t at, std::size_t& width) {
  const auto lead = static_cast<unsigned char>(text[at]);
  width = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
  if (at + width > text.size()) {
    width = 1;
    return lead;
  }
  char32_t c = width == 1 ? lead : lead & (0x7F >> width);
  for (std::size_t k = 1; k < width; ++k) c = (c << 6) | (static_cast<unsigned char>(text[at + k]) & 0x3F);
  return c;
}

}  // namespace

std::string_view trim_whitespace(std::string_view text) {
  std::size_t begin = 0;
  while (begin < text.size()) {
    std::size_t width = 0;
    if (!is_white_space(decode_at(text, begin, width))) break;
    begin += width;
  }
  std::size_t end = text.size();
  while (end > begin) {
    std::size_t start = end - 1;
    while (start > begin && is_continuation(static_cast<unsigned char>(text[start]))) --start;
    std::size_t width = 0;
    if (!is_white_space(decode_at(text, start, width))) break;
    end = start;
  }
  return text.substr(begin, end - begin);
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t feed = text.find('\n', start);
    if (feed == std::string_view::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    std::size_t end = feed;
    if (end > start && text[end - 1] == '\r') --end;
    lines.push_back(text.substr(start, end - start));
    start = feed + 1;
  }
  return lines;
}

std::expected<Line, IniError> classify_line(std::string_view line) {
  if (line.starts_with('[')) {
    // "[" alone opens and closes nothing.
    if (line.size() < 2 || !line.ends_with(']')) return std::unexpected(IniError::syntax(IniSyntax::SectionNotClosed));
    const std::string_view name = line.substr(1, line.size() - 2);
    if (name.find(']') != std::string_view::npos) {
      return std::unexpected(IniError::syntax(IniSyntax::SectionNameHasBracket));
    }
    return SectionHeader{name};
  }
  if (line.starts_with(';') || line.starts_with('#')) return Skipped{};
  const std::size_t equals = line.find('=');
  if (equals == std::string_view::npos) {
    if (line.empty()) return Skipped{};
    return std::unexpected(IniError::syntax(IniSyntax::MissingEquals));
  }
  return Assignment{trim_whitespace(line.substr(0, equals)), trim_whitespace(line.substr(equals + 1))};
}

}  // namespace tavik::mfe::ini
