#pragma once
// One installed logger: its level filter, its output and the lock that keeps
// each of its lines whole when records come from several threads.
#include <chrono>
#include <functional>
#include <memory>
#include <mutex>
#include <string_view>

#include "log/line_sink.h"
#include "log/log.h"

namespace tavik::log {

// What every logger of one installation shares: the clock and the local UTC
// offset fixed when the loggers were installed.
struct LineClock {
  std::function<std::chrono::system_clock::time_point()> now;
  std::chrono::seconds utc_offset{0};
};

class Logger {
 public:
  Logger(LevelFilter filter, std::shared_ptr<LineSink> sink, LineClock clock, bool colour);

  LevelFilter filter() const { return filter_; }
  // Writes the record as one line if this logger's level and the target admit it.
  void log(Level level, std::string_view target, std::string_view message);

 private:
  const LevelFilter filter_;
  const std::shared_ptr<LineSink> sink_;
  const LineClock clock_;
  const bool colour_;
  std::mutex line_lock_;
};

}  // namespace tavik::log
