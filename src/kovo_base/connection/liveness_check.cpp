// check_connection: the probe that precedes every use of the connection.
#include <array>
#include <chrono>

#include "kovo_base/connection/handle.h"
#include "log/log.h"

namespace tavik::kovo_base::connection {
namespace {

constexpr std::string_view handle_target = "kovo_base::connection::handle";
constexpr std::uint32_t usb_probe_nanos = 100'000'000;
constexpr auto tcp_probe_timeout = std::chrono::milliseconds(10);
// A device that never stops sending would keep the drain going forever; after
// this many reads (4 MiB) it is treated as closed so that the call still ends.
constexpr int usb_drain_read_limit = 8192;

// Drains whatever the device has pending; the first failing read tells
// whether the device is still there.
Result<LinkState> check_usb(Handle& handle) {
  if (auto set = handle.set_read_timeout(0, usb_probe_nanos); !set) return std::unexpected(ConnectionError::io(set.error()));
  std::array<std::uint8_t, 512> buffer{};
  for (int reads = 0; reads < usb_drain_read_limit; ++reads) {
    buffer.fill(0);
    auto got = handle.read(buffer);
    if (got) continue;
    const TransferError& failure = got.error();
    // An unplugged device maps to a broken pipe like a stall does, but it can
    // never answer again: report it closed so that the replugged module is opened.
    if (failure.usb_kind == UsbErrorKind::NoDevice) return LinkState::Closed;
    if (failure.io.kind == IoKind::TimedOut || failure.io.kind == IoKind::BrokenPipe) {
      LOG_TRACE(handle_target, "Connection has no pending data");
      return LinkState::Open;
    }
    return LinkState::Closed;
  }
  return LinkState::Closed;
}

// One raw receive on the socket with a short time-out: nothing arriving means
// the stream is idle and open; end of stream or stray data means replace it.
// The transport waits the 10 ms on a precise clock (it waits for input first
// and only then receives), so every call pays 10 ms, not the kernel's tick.
Result<LinkState> check_tcp(TcpTransport& socket) {
  if (auto set = socket.set_socket_receive_timeout(tcp_probe_timeout); !set) {
    return std::unexpected(ConnectionError::io(set.error()));
  }
  auto received = socket.receive_raw_byte();
  if (auto cleared = socket.set_socket_receive_timeout(std::nullopt); !cleared) {
    return std::unexpected(ConnectionError::io(cleared.error()));
  }
  return received ? LinkState::Closed : LinkState::Open;
}

}  // namespace

Result<LinkState> Handle::check_connection() {
  if (TcpTransport* socket = tcp_transport()) return check_tcp(*socket);
  return check_usb(*this);
}

}  // namespace tavik::kovo_base::connection
