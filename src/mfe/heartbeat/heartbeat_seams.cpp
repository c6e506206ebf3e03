#include "mfe/heartbeat/heartbeat_seams.h"

#include "mfe/heartbeat/heartbeat_pdv.h"
#include "platform/library_thread.h"
#include "platform/unload_state.h"

#include <algorithm>

namespace tavik::mfe::heartbeat {

// A stop waits this long. By then the release has woken every socket and
// raised the shutdown signal, so an exchange or an opening in progress fails
// at once and the thread's sleep ends within one slice; 1 s covers that
// with a wide margin and, with the other waits of the release, keeps the
// host's dlclose or FreeLibrary under 3 s.
constexpr auto default_stop_wait_limit = std::chrono::seconds(1);
// The heartbeat sleeps its 1 s ticks in slices of this length, ending early
// once the library is being released.
constexpr auto sleep_slice = std::chrono::milliseconds(50);

namespace {

void sleep_unless_released(Clock::duration d) {
  const auto until = Clock::now() + d;
  while (!platform::shutting_down()) {
    const auto left = until - Clock::now();
    if (left <= Clock::duration::zero()) return;
    std::this_thread::sleep_for(std::min<Clock::duration>(left, sleep_slice));
  }
}

}  // namespace

HeartbeatSeams HeartbeatSeams::real() {
  return HeartbeatSeams{
      .now = [] { return Clock::now(); },
      .sleep = sleep_unless_released,
      // A probe may outlive a release that gave up on it: where the platform
      // can, it keeps the library mapped until it has ended. The heartbeat
      // thread must not, or a host's unload would never reach the release
      // that stops it.
      .start_thread =
          [](ThreadRole role, std::function<void()> body) {
            if (role == ThreadRole::Probe) return platform::start_library_thread(std::move(body));
            return std::thread(std::move(body));
          },
      .send_heartbeat = [] { return mfe::send_heartbeat_pdv(); },
      .stop_wait_limit = default_stop_wait_limit,
  };
}

}  // namespace tavik::mfe::heartbeat
