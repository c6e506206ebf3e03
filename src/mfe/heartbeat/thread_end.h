#pragma once
// How and whether a thread has ended, shared between the thread and whoever
// waits for it, so that the waiter can give up after a while.
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

#include "mfe/heartbeat/heartbeat_seams.h"

namespace tavik::mfe::heartbeat {

class ThreadEnd {
 public:
  // The thread's last step. failure: why it ended abnormally.
  void finish(std::optional<std::string> failure);

  bool ended();
  // Waits at most limit; true once the thread has ended.
  bool wait_for(Clock::duration limit);
  // Only once ended().
  std::optional<std::string> failure();

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool ended_ = false;
  std::optional<std::string> failure_;
};

}  // namespace tavik::mfe::heartbeat

namespace tavik::mfe::heartbeat {

// body wrapped so that no exception leaves the thread: one that escapes is
// recorded as the abnormal end, and end is finished as the very last step.
std::function<void()> run_to_end(std::shared_ptr<ThreadEnd> end, std::function<void()> body);

}  // namespace tavik::mfe::heartbeat
