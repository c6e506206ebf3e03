#pragma once
// What init_logging asks of its surroundings: the clock and local UTC
// offset, whether standard error is a colour console, and the terminal's
// output. The operating system answers in the library; tests stand in.
#include <chrono>
#include <functional>
#include <memory>
#include <optional>

#include "log/line_sink.h"

namespace tavik::log {

struct LogEnvironment {
  std::function<std::chrono::system_clock::time_point()> now;
  // Asked once per installation; nothing means the offset is unknown.
  std::function<std::optional<std::chrono::seconds>()> utc_offset;
  std::function<bool()> stderr_is_console;
  std::function<bool()> stderr_supports_colour;
  std::function<std::shared_ptr<LineSink>()> make_terminal_sink;
};

// The real clock, time zone and standard error.
LogEnvironment system_log_environment();

}  // namespace tavik::log
