#include "mfe/heartbeat/thread_end.h"

#include <exception>

namespace tavik::mfe::heartbeat {

void ThreadEnd::finish(std::optional<std::string> failure) {
  {
    std::lock_guard lock(lock_);
    failure_ = std::move(failure);
    ended_ = true;
  }
  changed_.notify_all();
}

bool ThreadEnd::ended() {
  std::lock_guard lock(lock_);
  return ended_;
}

bool ThreadEnd::wait_for(Clock::duration limit) {
  std::unique_lock lock(lock_);
  return changed_.wait_for(lock, limit, [this] { return ended_; });
}

std::optional<std::string> ThreadEnd::failure() {
  std::lock_guard lock(lock_);
  return failure_;
}

}  // namespace tavik::mfe::heartbeat

namespace tavik::mfe::heartbeat {

std::function<void()> run_to_end(std::shared_ptr<ThreadEnd> end, std::function<void()> body) {
  return [end = std::move(end), body = std::move(body)]() mutable {
    std::optional<std::string> failure;
    try {
      body();
    } catch (const std::exception& e) {
      failure = std::string("Exception(\"") + e.what() + "\")";
    } catch (...) {
      failure = "Exception(unknown)";
    }
    // The body's own state (the stop channel's receiving end, a probe's
    // result) is gone before anyone learns that the thread has ended.
    body = nullptr;
    end->finish(std::move(failure));
  };
}

}  // namespace tavik::mfe::heartbeat
