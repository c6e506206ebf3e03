#include "mfe/settings/log_values.h"

#include "platform/env.h"

namespace tavik::mfe {

namespace {

std::optional<std::string> file_or_environment(const std::optional<std::string>* from_file, const char* variable,
                                               const EnvironmentReader& read_variable) {
  if (from_file != nullptr && from_file->has_value()) return **from_file;
  return read_variable(variable);
}

}  // namespace

LogValues choose_log_values(const kovo_base::Result<Settings>& settings, const EnvironmentReader& read_variable) {
  const Logging* logging = settings ? &settings->logging : nullptr;
  return LogValues{
      file_or_environment(logging ? &logging->level : nullptr, kLogLevelVariable, read_variable),
      file_or_environment(logging ? &logging->file : nullptr, kLogFileVariable, read_variable),
  };
}

LogValues choose_log_values(const kovo_base::Result<Settings>& settings) {
  return choose_log_values(settings, [](const char* name) { return platform::read_env_unicode(name); });
}

}  // namespace tavik::mfe
