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
#include "platform/sockets.h"

namespace tavik::kovo_base::tcp {

// What the socket calls under the TLS session last reported.
struct SocketIo {
  const platform::Socket* socket = nullptr;
  std::optional<IoError> last_error;
  bool end_of_stream = false;
  // While set (during the handshake), every socket call waits at most until it.
  std::optional<std::chrono::steady_clock::time_point> deadline;
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
  // Runs the handshake, every socket call waiting at most until the deadline.
  // Afterwards the socket's receive time-out is receive_timeout again and it
  // has no send time-out.
  std::expected<void, IoError> handshake(std::chrono::steady_clock::time_point deadline,
                                         std::optional<std::chrono::nanoseconds> receive_timeout);
  // Plaintext in and out; 0 from read only after the peer's close notification.
  std::expected<std::size_t, IoError> read(std::span<std::uint8_t> buffer);
  std::expected<std::size_t, IoError> write(std::span<const std::uint8_t> bytes);

  // True once the session failed for good (a refused certificate, a protocol
  // error): it cannot carry anything any more.
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
  SslPtr session_;
  bool failed_ = false;
};

}  // namespace tavik::kovo_base::tcp
