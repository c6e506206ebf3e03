#pragma once
// What the heartbeat thread takes from its surroundings: the clock, sleeping,
// thread creation and the HeartBeatPDV exchange. The library runs with the
// real ones; tests replace them so that protocol times pass quickly.
#include <chrono>
#include <cstdint>
#include <functional>
#include <thread>

#include "codec/frame.h"
#include "kovo_base/connection_error.h"

namespace tavik::mfe::heartbeat {

using Clock = std::chrono::steady_clock;

enum class ThreadRole : std::uint8_t { Heartbeat, Probe };

struct HeartbeatSeams {
  std::function<Clock::time_point()> now;
  std::function<void(Clock::duration)> sleep;
  // May throw std::system_error when no thread can be created.
  std::function<std::thread(ThreadRole, std::function<void()>)> start_thread;
  std::function<kovo_base::Result<codec::MfeBody>()> send_heartbeat;
  // How long the stop waits for the thread to end before leaving it to end
  // on its own.
  Clock::duration stop_wait_limit;

  // The real clock, sleep, threads and send_heartbeat_pdv.
  static HeartbeatSeams real();
};

}  // namespace tavik::mfe::heartbeat
