#pragma once
// A TLS client session over a connected TCP socket. The session reads and
// writes through the platform socket calls, so a time-out is a recoverable
// I/O error and a peer that has gone never raises a signal.
#include <chrono>
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "base/io_error.h"
#include "kovo_base/tcp/tls_config.h"
#include "platform/socket_wake.h"
#include "platform/sockets.h"

namespace tavik::kovo_base::tcp {

// What the socket calls under the TLS session last reported.
struct SocketIo {
  const platform::Socket* socket = nullptr;
  std::optional<IoError> last_error;
  bool end_of_stream = false;
  // While set (during the handshake), every socket call waits at most until it.
  std::optional<std::chrono::steady_clock::time_point> deadline;
  // Bounds each receive outside the handshake; nullopt: receives block.
  std::optional<std::chrono::nanoseconds> receive_timeout;
};

class TlsStream {
 public:
  // A session for identity under config, not yet tied to a socket.
  static std::expected<std::unique_ptr<TlsStream>, TlsError> create(const TlsConfig& config, ServerName identity);
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;
  ~TlsStream();

  // Ties the session to the connected socket; no byte is sent yet.
  std::expected<void, TlsError> attach(platform::Socket socket);

  bool handshake_done() const;
  // Bound every later receive, and every later send that makes no progress;
  // nullopt removes the bound. The receive bound is also the socket's own
  // receive time-out, but the wait itself is measured precisely
  // (platform::receive_within).
  std::expected<void, IoError> set_receive_timeout(std::optional<std::chrono::nanoseconds> timeout);
  std::expected<void, IoError> set_send_timeout(std::optional<std::chrono::nanoseconds> timeout);
  std::optional<std::chrono::nanoseconds> receive_timeout() const { return io_.receive_timeout; }
  // Runs the handshake, every socket call waiting at most until the deadline.
  // Afterwards the socket's time-outs are those set before again.
  std::expected<void, IoError> handshake(std::chrono::steady_clock::time_point deadline);
  // Plaintext in and out; 0 from read only after the peer's close notification.
  std::expected<std::size_t, IoError> read(std::span<std::uint8_t> buffer);
  std::expected<std::size_t, IoError> write(std::span<const std::uint8_t> bytes);

  // True once the session failed for good (a refused certificate, a protocol
  // error, a write cut off by its time-out in the middle of a record): it
  // cannot carry anything any more.
  bool failed() const { return failed_; }
  // True while the session holds input taken from the socket but not yet
  // read through it (the rest of a record, or whole records).
  bool holds_unread_input() const;
  const platform::Socket& socket() const { return socket_; }

  // TlsStream { state: ..., sock: TcpStream { addr: ..., peer: ..., fd: ... } }
  std::string debug() const;

 private:
  TlsStream() = default;
  IoError failure_of(int result);

  std::shared_ptr<const CertVerifier> verifier_;  // shared with the configuration
  SessionState state_;
  SocketIo io_;
  platform::Socket socket_;
  // After socket_: forgotten before the socket is closed.
  platform::WakeRegistration wake_;
  SslPtr session_;
  std::optional<std::chrono::nanoseconds> send_timeout_;
  bool failed_ = false;
};

}  // namespace tavik::kovo_base::tcp
