#include "platform/socket_wake.h"

#include <mutex>
#include <set>
#include <utility>

#include "platform/unload_state.h"

namespace tavik::platform {
namespace {

// One lock over the set and every shutdown made from it: a number is never
// shut down after its registration is gone, when it may already name a
// socket of the host program.
struct LiveSockets {
  std::mutex lock;
  std::multiset<int> natives;
};

LiveSockets& live_sockets() {
  // Never destroyed: sockets of threads that outlive the statics unregister here.
  static auto* sockets = new LiveSockets;
  return *sockets;
}

}  // namespace

WakeRegistration::WakeRegistration(const Socket& socket) {
  if (!socket.valid()) return;
  try {
    LiveSockets& live = live_sockets();
    std::lock_guard lock(live.lock);
    live.natives.insert(socket.native());
    native_ = socket.native();
    // Registered after the release woke the others: it must not block either.
    if (shutting_down()) shut_down_both_ways(native_);
  } catch (...) {
    // Out of memory: the socket cannot be woken, and blocks at most its time-out.
  }
}

WakeRegistration::WakeRegistration(WakeRegistration&& other) noexcept : native_(std::exchange(other.native_, -1)) {}

WakeRegistration& WakeRegistration::operator=(WakeRegistration&& other) noexcept {
  if (this != &other) {
    forget();
    native_ = std::exchange(other.native_, -1);
  }
  return *this;
}

WakeRegistration::~WakeRegistration() { forget(); }

void WakeRegistration::forget() noexcept {
  if (native_ < 0) return;
  LiveSockets& live = live_sockets();
  std::lock_guard lock(live.lock);
  if (auto it = live.natives.find(native_); it != live.natives.end()) live.natives.erase(it);
  native_ = -1;
}

std::size_t wake_blocked_sockets() noexcept {
  LiveSockets& live = live_sockets();
  std::lock_guard lock(live.lock);
  for (const int native : live.natives) shut_down_both_ways(native);
  return live.natives.size();
}

}  // namespace tavik::platform
