#pragma once
// Level names: reading a configured level text and printing a record's level.
#include <optional>
#include <string_view>

#include "log/log.h"

namespace tavik::log {

// off, error, warn, info, debug or trace in any ASCII letter case; anything
// else (warning, "", text with spaces) is not a level.
std::optional<LevelFilter> parse_level_filter(std::string_view text);

// ERROR, WARN, INFO, DEBUG or TRACE.
std::string_view level_name(Level level);

// True when a logger with this filter writes records of this level.
inline bool filter_admits(LevelFilter filter, Level level) {
  return static_cast<std::uint8_t>(level) <= static_cast<std::uint8_t>(filter);
}

}  // namespace tavik::log
