#include "kovo_base/connection/handle.h"

#include <algorithm>

#include <fmt/format.h>

namespace tavik::kovo_base::connection {

std::string_view kind_name(HandleKind kind) {
  return kind == HandleKind::Usb ? "Usb" : "Tcp";
}

Handle Handle::usb(std::unique_ptr<UsbTransport> transport) {
  return Handle(Transports(std::in_place_index<0>, std::move(transport)));
}

Handle Handle::tcp(std::unique_ptr<TcpTransport> transport) {
  return Handle(Transports(std::in_place_index<1>, std::move(transport)));
}

HandleKind Handle::kind() const {
  return transport_.index() == 0 ? HandleKind::Usb : HandleKind::Tcp;
}

Transport& Handle::transport() const {
  return std::visit([](const auto& owned) -> Transport& { return *owned; }, transport_);
}

std::expected<void, IoError> Handle::write_all(std::span<const std::uint8_t> bytes) {
  while (!bytes.empty()) {
    auto written = transport().write(bytes);
    if (!written) {
      if (written.error().io.kind == IoKind::Interrupted) continue;
      return std::unexpected(std::move(written.error().io));
    }
    if (*written == 0) return std::unexpected(IoError::custom(IoKind::WriteZero, "failed to write whole buffer"));
    bytes = bytes.subspan(std::min(*written, bytes.size()));
  }
  return {};
}

TransferResult Handle::read(std::span<std::uint8_t> buffer) {
  return transport().read(buffer);
}

std::expected<void, IoError> Handle::set_read_timeout(std::uint64_t seconds, std::uint32_t nanos) {
  return transport().set_read_timeout(seconds, nanos);
}

std::string Handle::debug() const {
  return fmt::format("{}({})", kind_name(kind()), transport().debug());
}

UsbTransport* Handle::usb_transport() {
  auto* owned = std::get_if<0>(&transport_);
  return owned ? owned->get() : nullptr;
}

TcpTransport* Handle::tcp_transport() {
  auto* owned = std::get_if<1>(&transport_);
  return owned ? owned->get() : nullptr;
}

}  // namespace tavik::kovo_base::connection
