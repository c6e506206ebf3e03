#pragma once
// IPv4 sockets as the TCP transport needs them: a UDP socket that receives
// beacons, a TCP stream to the module, and their time-out options. Every call
// reports failure as an IoError; none raises a signal or an exception.
#include <array>
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>

#include "base/io_error.h"

namespace tavik::platform {

struct SocketAddressV4 {
  std::array<std::uint8_t, 4> ip{};
  std::uint16_t port = 0;

  // "a.b.c.d"
  std::string ip_text() const;
  // "a.b.c.d:port"
  std::string text() const;
  friend bool operator==(const SocketAddressV4&, const SocketAddressV4&) = default;
};

// One open socket; closed when destroyed.
class Socket {
 public:
  Socket() = default;
  explicit Socket(int native) : native_(native) {}
  Socket(Socket&& other) noexcept : native_(other.release()) {}
  Socket& operator=(Socket&& other) noexcept;
  Socket(const Socket&) = delete;
  Socket& operator=(const Socket&) = delete;
  ~Socket();

  bool valid() const { return native_ >= 0; }
  int native() const { return native_; }
  int release();
  void close();

 private:
  int native_ = -1;
};

template <class T>
using IoResult = std::expected<T, kovo_base::IoError>;

// A UDP socket bound to the address, without any address-reuse option, so a
// second listener on the same port fails with AddrInUse.
IoResult<Socket> bind_udp(const SocketAddressV4& local);

struct Datagram {
  std::size_t size = 0;    // bytes placed in the buffer
  bool truncated = false;  // the datagram was longer than the buffer
  SocketAddressV4 sender;
};

// Receives one datagram into buffer, waiting at most the receive time-out.
IoResult<Datagram> receive_datagram(const Socket& socket, std::span<std::uint8_t> buffer);

// A TCP stream to remote. With a time-out the connect gives up after it with
// TimedOut; the stream is blocking afterwards either way. Small writes go out
// at once (TCP_NODELAY): a request written right after the handshake's last
// flight must not wait for a delayed acknowledgement.
IoResult<Socket> connect_tcp(const SocketAddressV4& remote, std::optional<std::chrono::milliseconds> timeout);

// Bounds every later receive (send) on the socket; nullopt or zero removes
// the bound. Durations are rounded up to whole microseconds.
IoResult<void> set_receive_timeout(const Socket& socket, std::optional<std::chrono::nanoseconds> timeout);
IoResult<void> set_send_timeout(const Socket& socket, std::optional<std::chrono::nanoseconds> timeout);
// The receive time-out in force; nullopt when receives block.
IoResult<std::optional<std::chrono::nanoseconds>> receive_timeout(const Socket& socket);

// One send; a peer that has gone gives BrokenPipe, never a signal.
IoResult<std::size_t> send_some(const Socket& socket, std::span<const std::uint8_t> bytes);
// One receive; 0 at the end of the stream. A receive time-out gives WouldBlock.
IoResult<std::size_t> receive_some(const Socket& socket, std::span<std::uint8_t> buffer);

// Whether the socket has something to receive (input, the end of the stream
// or an error) within timeout, measured with the system's high-resolution
// clock: the socket's receive time-out option is rounded up to the kernel's
// timer tick on some systems (a 10 ms wait took 16 ms). A shutdown of the
// socket ends the wait at once.
IoResult<bool> wait_readable(const Socket& socket, std::chrono::nanoseconds timeout);
// One receive that waits at most timeout (nullopt: as long as the socket's
// own options say). Running out of time gives the error that this system's
// receive time-out gives.
IoResult<std::size_t> receive_within(const Socket& socket, std::span<std::uint8_t> buffer,
                                     std::optional<std::chrono::nanoseconds> timeout);

IoResult<SocketAddressV4> local_address(const Socket& socket);
IoResult<SocketAddressV4> peer_address(const Socket& socket);

}  // namespace tavik::platform
