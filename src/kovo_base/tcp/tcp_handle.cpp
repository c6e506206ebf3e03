#include "kovo_base/tcp/tcp_handle.h"

#include "base/debug_text.h"

#include <algorithm>
#include <array>

#include <fmt/format.h>

#include "kovo_base/tcp/network_settings.h"

namespace tavik::kovo_base::tcp {
namespace {


connection::TransferError transfer_error(IoError error) { return connection::TransferError::from_io(std::move(error)); }

}  // namespace

TcpHandle::TcpHandle(std::unique_ptr<TlsStream> stream, std::string ip, std::string serial, TcpModelRef info)
    : stream_(std::move(stream)), ip_(std::move(ip)), serial_(std::move(serial)), info_(std::move(info)) {}

std::expected<void, IoError> TcpHandle::ensure_handshake() {
  if (stream_->handshake_done()) return {};
  // Never longer than the fixed bound: AtivarSAT waits 30 minutes for its
  // answer, but a host that takes the connection and never speaks TLS must
  // not hold the call (and every other export) that long.
  const auto fixed = network_settings().handshake_timeout;
  const auto bound = read_timeout_ ? std::min(*read_timeout_, fixed) : fixed;
  return stream_->handshake(std::chrono::steady_clock::now() + bound);
}

connection::TransferResult TcpHandle::write(std::span<const std::uint8_t> bytes) {
  if (auto ready = ensure_handshake(); !ready) return std::unexpected(transfer_error(std::move(ready.error())));
  auto taken = stream_->write(bytes);
  if (!taken) return std::unexpected(transfer_error(std::move(taken.error())));
  return *taken;
}

connection::TransferResult TcpHandle::read(std::span<std::uint8_t> buffer) {
  if (auto ready = ensure_handshake(); !ready) return std::unexpected(transfer_error(std::move(ready.error())));
  auto got = stream_->read(buffer);
  if (!got) return std::unexpected(transfer_error(std::move(got.error())));
  return *got;
}

std::expected<void, IoError> TcpHandle::set_read_timeout(std::uint64_t seconds, std::uint32_t nanos) {
  const auto duration = std::chrono::seconds(seconds) + std::chrono::nanoseconds(nanos);
  if (duration == std::chrono::nanoseconds::zero()) {
    return std::unexpected(IoError::custom(IoKind::InvalidInput, "cannot set a 0 duration timeout"));
  }
  const auto millis = std::chrono::ceil<std::chrono::milliseconds>(duration);
  if (auto set = stream_->set_receive_timeout(millis); !set) return set;
  // The exchange sets its waiting time before writing the request, so the
  // same time bounds a write that the module stops taking.
  if (auto set = stream_->set_send_timeout(std::min(millis, network_settings().write_stall_timeout)); !set) {
    return set;
  }
  read_timeout_ = millis;
  return {};
}

std::expected<void, IoError> TcpHandle::set_socket_receive_timeout(std::optional<std::chrono::nanoseconds> timeout) {
  return stream_->set_receive_timeout(timeout);
}

std::expected<std::size_t, IoError> TcpHandle::receive_raw_byte() {
  if (stream_->failed()) return 0;
  // The rest of an answer that an exchange gave up on (a header too long for
  // its first chunk, say) may already sit decrypted in the session, where the
  // socket shows nothing: the next exchange would read it as its answer.
  if (stream_->holds_unread_input()) return 1;
  std::array<std::uint8_t, 1> byte{};
  return platform::receive_within(stream_->socket(), byte, stream_->receive_timeout());
}

std::string TcpHandle::debug() const {
  return fmt::format("TcpHandle {{ info: <omitted>, ip: {}, serial: {}, stream: {} }}", debug_quoted(ip_), debug_quoted(serial_),
                     stream_->debug());
}

const TcpHandle* tcp_handle_of(connection::Handle& handle) {
  return dynamic_cast<const TcpHandle*>(handle.tcp_transport());
}

}  // namespace tavik::kovo_base::tcp
