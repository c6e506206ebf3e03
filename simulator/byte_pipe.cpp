#include "simulator/byte_pipe.h"

#include <algorithm>

namespace tavik::simulator {

BytePipe::BytePipe(std::unique_ptr<DeviceSession> session) : session_(std::move(session)) {
  std::lock_guard lock(mutex_);
  schedule(session_->open());
}

void BytePipe::schedule(OutputSteps steps) {
  for (auto& step : steps) {
    // Each step waits after the previous one, as a transport writing them
    // in turn would.
    last_ready_ = std::max(last_ready_, SteadyClock::now()) + step.delay;
    pieces_.push_back({last_ready_, std::move(step.bytes), step.close});
  }
  arrived_.notify_all();
}

void BytePipe::write(codec::ByteView bytes) {
  std::lock_guard lock(mutex_);
  if (closed_ || session_->closed()) return;
  schedule(session_->feed(bytes));
}

std::expected<codec::Bytes, PipeEnd> BytePipe::read(std::size_t max_bytes, std::chrono::milliseconds timeout) {
  std::unique_lock lock(mutex_);
  const auto deadline = SteadyClock::now() + timeout;
  while (true) {
    if (closed_) return std::unexpected(PipeEnd::Closed);
    if (!pieces_.empty()) {
      Piece& front = pieces_.front();
      const auto now = SteadyClock::now();
      if (front.ready_at <= now) {
        if (front.bytes.empty()) {
          closed_ = front.close;
          pieces_.pop_front();
          continue;
        }
        const std::size_t n = std::min(max_bytes, front.bytes.size());
        codec::Bytes out(front.bytes.begin(), front.bytes.begin() + std::ptrdiff_t(n));
        front.bytes.erase(front.bytes.begin(), front.bytes.begin() + std::ptrdiff_t(n));
        if (front.bytes.empty()) {
          closed_ = front.close;
          pieces_.pop_front();
        }
        return out;
      }
      if (front.ready_at >= deadline) {
        arrived_.wait_until(lock, deadline);
        if (SteadyClock::now() >= deadline) return std::unexpected(PipeEnd::TimedOut);
        continue;
      }
      arrived_.wait_until(lock, front.ready_at);
      continue;
    }
    if (arrived_.wait_until(lock, deadline) == std::cv_status::timeout && pieces_.empty()) {
      return std::unexpected(PipeEnd::TimedOut);
    }
  }
}

bool BytePipe::closed() const {
  std::lock_guard lock(mutex_);
  return closed_;
}

}  // namespace tavik::simulator
