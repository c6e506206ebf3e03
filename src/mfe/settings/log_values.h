#pragma once
// The log level text and log file path that start-up installs: the settings
// file's key when the file loaded and has it (even empty), else the
// environment variable, else nothing.
#include <functional>
#include <optional>
#include <string>

#include "kovo_base/connection_error.h"
#include "mfe/settings/settings.h"

namespace tavik::mfe {

inline constexpr const char* kLogLevelVariable = "LOG_LEVEL_MFE";
inline constexpr const char* kLogFileVariable = "LOG_FILE_MFE";

struct LogValues {
  std::optional<std::string> level;
  std::optional<std::string> file;
  friend bool operator==(const LogValues&, const LogValues&) = default;
};

// A variable's value; nothing when it is unset or not valid Unicode.
using EnvironmentReader = std::function<std::optional<std::string>(const char* name)>;

// Reads the process environment.
LogValues choose_log_values(const kovo_base::Result<Settings>& settings);
LogValues choose_log_values(const kovo_base::Result<Settings>& settings, const EnvironmentReader& read_variable);

}  // namespace tavik::mfe
