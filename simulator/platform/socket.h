#pragma once
// The sockets the simulator needs, behind a portable interface; posix/ has
// the implementation (a Windows one would sit beside it).
#include <chrono>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tavik::simulator::platform {

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
  // Wakes any thread blocked on this socket; the descriptor stays open.
  void shutdown_both() const;
  void set_no_delay() const;
  void set_receive_timeout(std::chrono::milliseconds timeout) const;
  // Plain (non-TLS) I/O.
  std::expected<void, std::string> write_all(std::span<const std::uint8_t> bytes) const;
  // Bytes received, 0 at the end of the stream.
  std::expected<std::size_t, std::string> read_some(std::span<std::uint8_t> buffer) const;

 private:
  int native_ = -1;
};

struct Accepted {
  Socket socket;
  std::string peer;  // "address:port"
};

struct Datagram {
  std::vector<std::uint8_t> bytes;
  std::string sender;  // dotted IPv4 address
};

// port 0: an ephemeral port.
std::expected<Socket, std::string> listen_tcp(const std::string& address, std::uint16_t port);
std::expected<std::uint16_t, std::string> local_port(const Socket& socket);
// Waits up to timeout for a connection; nothing when none came.
std::expected<std::optional<Accepted>, std::string> accept_for(const Socket& listener,
                                                               std::chrono::milliseconds timeout);
std::expected<Socket, std::string> connect_tcp(const std::string& address, std::uint16_t port);

std::expected<Socket, std::string> open_udp(const std::string& bind_address, std::uint16_t port, bool broadcast);
std::expected<void, std::string> send_to(const Socket& socket, const std::string& address, std::uint16_t port,
                                         std::span<const std::uint8_t> bytes);
std::expected<std::optional<Datagram>, std::string> receive_for(const Socket& socket,
                                                                std::chrono::milliseconds timeout);

// Writing to a peer that has gone must be an error, not a signal.
void ignore_broken_pipe();

// Call first in main, before any thread starts, so that only
// wait_for_termination sees the stop signals.
void block_termination_signals();
// Blocks until the process is asked to stop (Ctrl-C, SIGTERM).
void wait_for_termination();

}  // namespace tavik::simulator::platform
