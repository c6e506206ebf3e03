#include "log/logger_registry.h"

#include <algorithm>

namespace tavik::log {

LoggerRegistry& LoggerRegistry::instance() {
  // Deliberately leaked: records written while the process or the library
  // unloads must not meet a destroyed registry.
  static LoggerRegistry* registry = new LoggerRegistry;
  return *registry;
}

bool LoggerRegistry::install(LoggerList loggers) {
  std::lock_guard guard(install_lock_);
  if (installed_.load(std::memory_order_acquire) != nullptr) return false;
  std::uint8_t max_level = static_cast<std::uint8_t>(LevelFilter::Off);
  for (const auto& logger : loggers) {
    max_level = std::max(max_level, static_cast<std::uint8_t>(logger->filter()));
  }
  installed_.store(new LoggerList(std::move(loggers)), std::memory_order_release);
  detail::max_level.store(max_level, std::memory_order_relaxed);
  return true;
}

void LoggerRegistry::write(Level level, std::string_view target, std::string_view message) const {
  const LoggerList* loggers = installed_.load(std::memory_order_acquire);
  if (loggers == nullptr) return;
  for (const auto& logger : *loggers) {
    // A record that cannot be written (no memory, say) is lost; the statement
    // that wrote it carries on.
    try {
      logger->log(level, target, message);
    } catch (...) {
    }
  }
}

void LoggerRegistry::reset() {
  std::lock_guard guard(install_lock_);
  detail::max_level.store(static_cast<std::uint8_t>(LevelFilter::Off), std::memory_order_relaxed);
  delete installed_.exchange(nullptr, std::memory_order_acq_rel);
}

}  // namespace tavik::log
