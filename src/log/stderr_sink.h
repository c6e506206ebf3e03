#pragma once
#include "log/line_sink.h"

namespace tavik::log {

// The terminal logger's output: standard error.
class StderrSink final : public LineSink {
 public:
  void write_line(std::string_view line) override;
};

}  // namespace tavik::log
