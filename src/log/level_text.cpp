#include "log/level_text.h"

#include <array>
#include <utility>

namespace tavik::log {

namespace {

constexpr std::array<std::pair<std::string_view, LevelFilter>, 6> kFilterNames{{
    {"off", LevelFilter::Off},
    {"error", LevelFilter::Error},
    {"warn", LevelFilter::Warn},
    {"info", LevelFilter::Info},
    {"debug", LevelFilter::Debug},
    {"trace", LevelFilter::Trace},
}};

char ascii_lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool equals_ignoring_ascii_case(std::string_view text, std::string_view lower_word) {
  if (text.size() != lower_word.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (ascii_lower(text[i]) != lower_word[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<LevelFilter> parse_level_filter(std::string_view text) {
  for (const auto& [word, filter] : kFilterNames) {
    if (equals_ignoring_ascii_case(text, word)) return filter;
  }
  return std::nullopt;
}

std::string_view level_name(Level level) {
  switch (level) {
    case Level::Error: return "ERROR";
    case Level::Warn: return "WARN";
    case Level::Info: return "INFO";
    case Level::Debug: return "DEBUG";
    case Level::Trace: return "TRACE";
  }
  return "UNKNOWN";
}

}  // namespace tavik::log
