#include "mfe/heartbeat/heartbeat_seams.h"

#include "mfe/heartbeat/heartbeat_pdv.h"
#include "platform/library_thread.h"

namespace tavik::mfe::heartbeat {

// A stop waits this long: the thread looks at its stop channel at least once
// a second while it waits, and a heartbeat exchange with a working module
// ends well within it. A thread stuck in a TCP opening (beacon discovery can
// take minutes) must not hold up the unload of the library.
constexpr auto default_stop_wait_limit = std::chrono::seconds(5);

HeartbeatSeams HeartbeatSeams::real() {
  return HeartbeatSeams{
      .now = [] { return Clock::now(); },
      .sleep = [](Clock::duration d) { std::this_thread::sleep_for(d); },
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
