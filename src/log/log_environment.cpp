#include "log/log_environment.h"

#include "log/stderr_sink.h"
#include "platform/console.h"
#include "platform/local_time.h"

namespace tavik::log {

LogEnvironment system_log_environment() {
  return LogEnvironment{
      .now = &platform::current_time,
      .utc_offset = &platform::local_utc_offset,
      .stderr_is_console = &platform::stderr_is_console,
      .stderr_supports_colour = &platform::stderr_supports_colour,
      .make_terminal_sink = [] { return std::make_shared<StderrSink>(); },
  };
}

}  // namespace tavik::log
