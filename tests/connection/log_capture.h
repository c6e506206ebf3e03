#pragma once
// Installs the trace-level log into a capture for the length of a test.
#include <algorithm>
#include <memory>
#include <string>
#include <string_view>

#include "log/log_testing.h"

namespace tavik::testing {

class LogCapture {
 public:
  LogCapture() : sink_(log::testing::init_logging_for_test("trace", std::nullopt)) {}
  ~LogCapture() { log::testing::reset_logging(); }
  LogCapture(const LogCapture&) = delete;
  LogCapture& operator=(const LogCapture&) = delete;

  // Lines that contain every given piece.
  template <class... Pieces>
  std::size_t count(Pieces... pieces) const {
    const auto lines = sink_->lines();
    return static_cast<std::size_t>(std::count_if(lines.begin(), lines.end(), [&](const std::string& line) {
      return ((line.find(std::string_view(pieces)) != std::string::npos) && ...);
    }));
  }
  std::string text() const { return sink_->text(); }

 private:
  std::shared_ptr<log::testing::CaptureSink> sink_;
};

}  // namespace tavik::testing
