#include "log/logger.h"

#include <utility>

#include "log/level_text.h"
#include "log/line_format.h"

namespace tavik::log {

Logger::Logger(LevelFilter filter, std::shared_ptr<LineSink> sink, LineClock clock, bool colour)
    : filter_(filter), sink_(std::move(sink)), clock_(std::move(clock)), colour_(colour) {}

void Logger::log(Level level, std::string_view target, std::string_view message) {
  if (!filter_admits(filter_, level)) return;
  // The target test needs no lock; doing it first keeps foreign records cheap.
  if (!target_is_allowed(target)) return;
  std::lock_guard guard(line_lock_);
  // The time is read under the lock so that time stamps follow line order.
  sink_->write_line(format_line(clock_.now(), clock_.utc_offset, colour_, level, target, message));
}

}  // namespace tavik::log
