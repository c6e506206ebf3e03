#pragma once
// The sockets that a library thread may block on (a TLS read waiting for an
// answer, a handshake, a write to a peer that stopped reading), known while
// they live so that the library's release can wake those threads: shutting
// a socket down in both directions makes every blocked call on it return at
// once, and the thread then leaves the library's code on its own.
#include <cstddef>

#include "platform/sockets.h"

namespace tavik::platform {

// Registers the socket for as long as it lives. Declare it after the Socket
// it names, so that it is destroyed (and the number forgotten) before the
// socket is closed and its number can be given to another socket.
class WakeRegistration {
 public:
  WakeRegistration() = default;
  explicit WakeRegistration(const Socket& socket);
  WakeRegistration(WakeRegistration&& other) noexcept;
  WakeRegistration& operator=(WakeRegistration&& other) noexcept;
  WakeRegistration(const WakeRegistration&) = delete;
  WakeRegistration& operator=(const WakeRegistration&) = delete;
  ~WakeRegistration();

 private:
  void forget() noexcept;
  int native_ = -1;
};

// Called by the release once raise_shutdown() is up: shuts down every
// registered socket, and every socket registered from then on as soon as it
// is registered. Returns how many it shut down now.
std::size_t wake_blocked_sockets() noexcept;

// Shuts both directions of the socket down without closing it (posix/, win32/).
void shut_down_both_ways(int native) noexcept;

}  // namespace tavik::platform
