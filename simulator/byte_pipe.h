#pragma once
// A device reached through a pipe of bytes instead of a socket: what a USB
// test double connects to. The host writes request bytes and reads answer
// bytes; the device's pauses and closing are kept in time order.
#include <chrono>
#include <condition_variable>
#include <deque>
#include <expected>
#include <memory>
#include <mutex>

#include "simulator/device_session.h"

namespace tavik::simulator {

enum class PipeEnd : std::uint8_t {
  TimedOut,  // nothing arrived within the time-out
  Closed,    // the device closed its end
};

class BytePipe {
 public:
  explicit BytePipe(std::unique_ptr<DeviceSession> session);

  // Host to device. Ignored once the device has closed.
  void write(codec::ByteView bytes);
  // Device to host: the next piece the device wrote (at most max_bytes of
  // it; the rest stays for the next read), waiting at most timeout.
  std::expected<codec::Bytes, PipeEnd> read(std::size_t max_bytes, std::chrono::milliseconds timeout);
  bool closed() const;

 private:
  using SteadyClock = std::chrono::steady_clock;
  struct Piece {
    SteadyClock::time_point ready_at;
    codec::Bytes bytes;
    bool close = false;
  };
  void schedule(OutputSteps steps);

  std::unique_ptr<DeviceSession> session_;
  mutable std::mutex mutex_;
  std::condition_variable arrived_;
  std::deque<Piece> pieces_;
  SteadyClock::time_point last_ready_{};
  bool closed_ = false;
};

}  // namespace tavik::simulator
