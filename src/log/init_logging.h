#pragma once
// Installs the process's loggers from the configured level text and log file
// path. Silent: whatever cannot be set up is left out and the library works
// on without it. Only the first installation in a process takes effect.
#include <optional>
#include <string>

namespace tavik::log {

struct LogEnvironment;

void init_logging(std::optional<std::string> level_text, std::optional<std::string> file_path);

namespace detail {
// init_logging against the given surroundings instead of the system's.
void init_logging_in(const std::optional<std::string>& level_text, const std::optional<std::string>& file_path,
                     const LogEnvironment& environment);
}  // namespace detail

}  // namespace tavik::log
