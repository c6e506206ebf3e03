#include "log/stderr_sink.h"

#include "platform/console.h"

namespace tavik::log {

void StderrSink::write_line(std::string_view line) { (void)platform::write_to_stderr(line); }

}  // namespace tavik::log
