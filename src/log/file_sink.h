#pragma once
#include "log/line_sink.h"
#include "platform/files.h"

namespace tavik::log {

// The file logger's output: the log file, kept open for appending until the
// process ends, every line handed to the operating system at once.
class FileSink final : public LineSink {
 public:
  explicit FileSink(platform::AppendFile file) : file_(std::move(file)) {}
  void write_line(std::string_view line) override;

 private:
  platform::AppendFile file_;
};

}  // namespace tavik::log
