#pragma once
// The one open transport to the fiscal module, USB or TCP.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <variant>

#include "kovo_base/connection/transport.h"
#include "kovo_base/connection_error.h"

namespace tavik::kovo_base::connection {

enum class HandleKind : std::uint8_t { Usb, Tcp };

std::string_view kind_name(HandleKind kind);

enum class LinkState : std::uint8_t { Open, Closed };

class Handle {
 public:
  static Handle usb(std::unique_ptr<UsbTransport> transport);
  static Handle tcp(std::unique_ptr<TcpTransport> transport);

  Handle(Handle&&) noexcept = default;
  Handle& operator=(Handle&&) noexcept = default;
  // Destroying the handle destroys its transport, which closes it.
  ~Handle() = default;

  HandleKind kind() const;

  // Writes every byte: retries interrupted writes, fails with WriteZero when a
  // write takes nothing.
  std::expected<void, IoError> write_all(std::span<const std::uint8_t> bytes);
  TransferResult read(std::span<std::uint8_t> buffer);
  std::expected<void, IoError> set_read_timeout(std::uint64_t seconds, std::uint32_t nanos);

  // Whether the transport still works, probed in the way of its kind.
  Result<LinkState> check_connection();

  // Usb(...) or Tcp(...) around the transport's own rendering.
  std::string debug() const;

  // The transport of that kind, or nullptr.
  UsbTransport* usb_transport();
  TcpTransport* tcp_transport();

 private:
  using Transports = std::variant<std::unique_ptr<UsbTransport>, std::unique_ptr<TcpTransport>>;
  explicit Handle(Transports transport) : transport_(std::move(transport)) {}
  Transport& transport() const;

  Transports transport_;
};

}  // namespace tavik::kovo_base::connection
