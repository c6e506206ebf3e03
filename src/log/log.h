#pragma once
// The process-wide log entry point. Any code writes a record (level, target,
// message); the global maximum level is checked before anything is
// formatted, so a statement that does not pass costs one comparison.
#include <atomic>
#include <cstdint>
#include <string_view>

#include <fmt/format.h>

namespace tavik::log {

enum class Level : std::uint8_t { Error = 1, Warn, Info, Debug, Trace };
enum class LevelFilter : std::uint8_t { Off = 0, Error, Warn, Info, Debug, Trace };

namespace detail {
inline std::atomic<std::uint8_t> max_level{0};
}

inline bool enabled(Level level) {
  return static_cast<std::uint8_t>(level) <= detail::max_level.load(std::memory_order_relaxed);
}

// Hands one record to every installed logger; call it only after enabled().
void write(Level level, std::string_view target, std::string_view message);

}  // namespace tavik::log

#define TAVIK_LOG(level, target, ...)                                            \
  do {                                                                           \
    if (::tavik::log::enabled(level)) {                                          \
      ::tavik::log::write((level), (target), ::fmt::format(__VA_ARGS__));        \
    }                                                                            \
  } while (0)

#define LOG_ERROR(target, ...) TAVIK_LOG(::tavik::log::Level::Error, target, __VA_ARGS__)
#define LOG_WARN(target, ...) TAVIK_LOG(::tavik::log::Level::Warn, target, __VA_ARGS__)
#define LOG_INFO(target, ...) TAVIK_LOG(::tavik::log::Level::Info, target, __VA_ARGS__)
#define LOG_DEBUG(target, ...) TAVIK_LOG(::tavik::log::Level::Debug, target, __VA_ARGS__)
#define LOG_TRACE(target, ...) TAVIK_LOG(::tavik::log::Level::Trace, target, __VA_ARGS__)
