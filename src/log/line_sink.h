#pragma once
// Where a logger puts its finished lines.
#include <string_view>

namespace tavik::log {

class LineSink {
 public:
  virtual ~LineSink() = default;
  // Writes one whole line at once. A line that cannot be written is lost;
  // the caller carries on.
  virtual void write_line(std::string_view line) = 0;
};

}  // namespace tavik::log
