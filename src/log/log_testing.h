#pragma once
// Test seam: installs the loggers as init_logging does, but with a fixed
// clock and UTC offset, a chosen answer to "is standard error a console" and
// a capture in place of standard error; and forgets the installation again.
#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "log/line_sink.h"

namespace tavik::log::testing {

// Collects the lines that would have gone to standard error.
class CaptureSink final : public LineSink {
 public:
  void write_line(std::string_view line) override;
  std::string text() const;
  // The captured text split at line feeds, without them.
  std::vector<std::string> lines() const;
  // True once two lines were handed over at the same time, which the
  // logger's own lock must prevent.
  bool saw_overlapping_writes() const { return overlapped_.load(); }

 private:
  std::atomic<int> writers_{0};
  std::atomic<bool> overlapped_{false};
  mutable std::mutex lock_;
  std::string text_;
};

struct FakeEnvironment {
  std::chrono::system_clock::time_point time{};
  // Nothing plays an operating system that cannot tell the offset.
  std::optional<std::chrono::seconds> utc_offset = std::chrono::seconds{0};
  bool stderr_is_console = true;
  bool stderr_supports_colour = false;
};

// Runs init_logging against env; the returned capture receives whatever the
// terminal logger writes (it stays empty when none is installed).
std::shared_ptr<CaptureSink> init_logging_for_test(const std::optional<std::string>& level_text,
                                                   const std::optional<std::string>& file_path,
                                                   const FakeEnvironment& env = {});

// Uninstalls every logger and sets the global maximum level back to Off.
// Call it only while no record is being written.
void reset_logging();

}  // namespace tavik::log::testing
