#pragma once
// What the connection manager needs from a transport. The USB and TCP
// transports implement these; tests plug in scripted ones.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <span>
#include <string>

#include "base/io_error.h"
#include "kovo_base/usb_error.h"

namespace tavik::kovo_base::connection {

// A failed read or write. USB failures also keep the libusb kind: both NoDevice
// and Pipe map to a broken pipe, and only the kind tells an unplugged device
// apart from a stalled endpoint.
struct TransferError {
  IoError io;
  std::optional<UsbErrorKind> usb_kind;

  static TransferError from_io(IoError error) { return {std::move(error), std::nullopt}; }
  static TransferError from_usb(UsbErrorKind kind) { return {usb_transfer_io_error(kind), kind}; }
};

using TransferResult = std::expected<std::size_t, TransferError>;

class Transport {
 public:
  virtual ~Transport() = default;

  // One write; returns how many bytes were taken.
  virtual TransferResult write(std::span<const std::uint8_t> bytes) = 0;
  // One read of up to buffer.size() bytes.
  virtual TransferResult read(std::span<std::uint8_t> buffer) = 0;
  // Bounds every later read (USB: every transfer). Zero means no limit.
  virtual std::expected<void, IoError> set_read_timeout(std::uint64_t seconds, std::uint32_t nanos) = 0;
  virtual std::string debug() const = 0;
};

class UsbTransport : public Transport {};

// The TCP transport reads through TLS; its liveness probe works on the plain
// socket underneath.
class TcpTransport : public Transport {
 public:
  // nullopt clears the socket's receive time-out, so receives block.
  virtual std::expected<void, IoError> set_socket_receive_timeout(std::optional<std::chrono::nanoseconds> timeout) = 0;
  // Receives at most one byte from the socket itself, below TLS, waiting at
  // most the socket receive time-out last set; 0 when the peer closed.
  virtual std::expected<std::size_t, IoError> receive_raw_byte() = 0;
};

}  // namespace tavik::kovo_base::connection
