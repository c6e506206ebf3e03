#pragma once
// The text of one log line:
//   YYYY-MM-DD HH:MM:SS.mmm [LEVEL] message            (Error, Warn, Info)
//   YYYY-MM-DD HH:MM:SS.mmm [LEVEL] target: message    (Debug, Trace)
// in local time, ended by a single line feed.
#include <chrono>
#include <string>
#include <string_view>

#include "log/log.h"

namespace tavik::log {

// True for the targets of this library; records of the libraries it depends
// on are never written. A plain text-prefix test.
bool target_is_allowed(std::string_view target);

// utc_offset turns the UTC instant into local time; colour wraps the level
// name in the terminal colour of its level.
std::string format_line(std::chrono::system_clock::time_point time, std::chrono::seconds utc_offset, bool colour,
                        Level level, std::string_view target, std::string_view message);

}  // namespace tavik::log
