#pragma once
// An open TLS connection to a fiscal module: the transport behind a Handle of
// kind Tcp.
#include <chrono>
#include <memory>
#include <optional>
#include <string>

#include "kovo_base/connection/handle.h"
#include "kovo_base/connection/transport.h"
#include "kovo_base/tcp/tcp_models.h"
#include "kovo_base/tcp/tls_stream.h"

namespace tavik::kovo_base::tcp {

class TcpHandle final : public connection::TcpTransport {
 public:
  // ip: the connected address, "a.b.c.d:port".
  TcpHandle(std::unique_ptr<TlsStream> stream, std::string ip, std::string serial, TcpModelRef info);

  // Both complete the handshake first when it is not done; it is bounded by
  // the last read time-out set (the exchange's waiting time), and never by
  // more than network_settings().handshake_timeout.
  connection::TransferResult write(std::span<const std::uint8_t> bytes) override;
  connection::TransferResult read(std::span<std::uint8_t> buffer) override;
  // The socket's receive time-out, rounded up to whole milliseconds; zero is
  // refused with InvalidInput. A write that makes no progress for the same
  // time (at most network_settings().write_stall_timeout) fails with TimedOut.
  std::expected<void, IoError> set_read_timeout(std::uint64_t seconds, std::uint32_t nanos) override;
  std::expected<void, IoError> set_socket_receive_timeout(std::optional<std::chrono::nanoseconds> timeout) override;
  // One byte from the socket below TLS. A session that failed for good
  // reports the end of the stream, and one that still holds unread input
  // reports a byte pending, so the liveness check replaces either.
  std::expected<std::size_t, IoError> receive_raw_byte() override;

  // TcpHandle { info: <omitted>, ip: "...", serial: "...", stream: TlsStream { ... } }
  std::string debug() const override;

  const std::string& ip() const { return ip_; }
  const std::string& serial() const { return serial_; }
  const TcpModelRef& info() const { return info_; }
  const platform::Socket& socket() const { return stream_->socket(); }

 private:
  std::expected<void, IoError> ensure_handshake();

  std::unique_ptr<TlsStream> stream_;
  std::string ip_;
  std::string serial_;
  TcpModelRef info_;
  std::optional<std::chrono::milliseconds> read_timeout_;  // last set_read_timeout
};

// The TcpHandle behind a handle of kind Tcp opened by this transport, or nullptr.
const TcpHandle* tcp_handle_of(connection::Handle& handle);

}  // namespace tavik::kovo_base::tcp
