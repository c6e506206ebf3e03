#pragma once
// The process's installed loggers and the global maximum level. Installed
// once; they stay until the process ends (the last lines of an unload still
// reach them), so the registry is never destroyed.
#include <atomic>
#include <memory>
#include <mutex>
#include <string_view>
#include <vector>

#include "log/logger.h"

namespace tavik::log {

using LoggerList = std::vector<std::unique_ptr<Logger>>;

class LoggerRegistry {
 public:
  static LoggerRegistry& instance();

  // Installs the loggers (an empty list counts) and sets the global maximum
  // level to the least severe of their filters, or Off. False, with nothing
  // changed, when loggers are already installed.
  bool install(LoggerList loggers);

  void write(Level level, std::string_view target, std::string_view message) const;

  // Back to the state before any installation. Only for tests, and only
  // while no record is being written.
  void reset();

 private:
  LoggerRegistry() = default;

  std::mutex install_lock_;
  // Published once and read without a lock by every writer.
  std::atomic<const LoggerList*> installed_{nullptr};
};

}  // namespace tavik::log
