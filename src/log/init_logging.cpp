#include "log/init_logging.h"

#include <memory>

#include "log/file_sink.h"
#include "log/level_text.h"
#include "log/log_environment.h"
#include "log/logger_registry.h"
#include "platform/files.h"

namespace tavik::log {

namespace {

// The log file, opened after its directory has been made; nothing on failure.
std::optional<platform::AppendFile> open_log_file(const std::string& path) {
  if (!platform::create_directories(platform::parent_directory(path))) return std::nullopt;
  platform::AppendFile file = platform::AppendFile::open(path);
  if (!file.is_open()) return std::nullopt;
  return file;
}

// Nothing when the local offset is unknown: without it every time stamp would
// be wrong, so no logger at all is installed and the log stays off.
std::optional<LoggerList> build_loggers(const std::string& level_text, const std::optional<std::string>& file_path,
                         const LogEnvironment& environment) {
  const std::optional<std::chrono::seconds> utc_offset = environment.utc_offset();
  if (!utc_offset) return std::nullopt;
  LoggerList loggers;
  const LineClock clock{environment.now, *utc_offset};
  const std::optional<LevelFilter> filter = parse_level_filter(level_text);

  if (filter && environment.stderr_is_console()) {
    loggers.push_back(std::make_unique<Logger>(*filter, environment.make_terminal_sink(), clock,
                                               environment.stderr_supports_colour()));
  }
  if (file_path) {
    // Opened even for a text that is no level, so the file exists (empty)
    // either way; it is closed again right here in that case.
    std::optional<platform::AppendFile> file = open_log_file(*file_path);
    if (file && filter) {
      loggers.push_back(std::make_unique<Logger>(*filter, std::make_shared<FileSink>(std::move(*file)), clock, false));
    }
  }
  return loggers;
}

}  // namespace

void detail::init_logging_in(const std::optional<std::string>& level_text,
                             const std::optional<std::string>& file_path, const LogEnvironment& environment) {
  try {
    LoggerList loggers;
    if (level_text) {
      std::optional<LoggerList> built = build_loggers(*level_text, file_path, environment);
      if (!built) return;
      loggers = std::move(*built);
    }
    // A second installation is refused by the registry and ignored here.
    (void)LoggerRegistry::instance().install(std::move(loggers));
  } catch (...) {
    // Setting up the log never fails the caller; the library runs without it.
  }
}

void init_logging(std::optional<std::string> level_text, std::optional<std::string> file_path) {
  detail::init_logging_in(level_text, file_path, system_log_environment());
}

}  // namespace tavik::log
