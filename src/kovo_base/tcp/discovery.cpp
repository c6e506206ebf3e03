#include "kovo_base/tcp/discovery.h"

#include "base/debug_text.h"

#include <algorithm>
#include <array>
#include <chrono>

#include <fmt/format.h>

#include "kovo_base/logging.h"
#include "kovo_base/tcp/network_settings.h"
#include "log/log.h"
#include "platform/sockets.h"
#include "platform/unload_state.h"

namespace tavik::kovo_base::tcp {
namespace {

constexpr std::string_view discovery_target = "kovo_base::connection::tcp";
constexpr std::size_t beacon_buffer_size = 256;
// A beacon receive waits in slices of this length, so that the library's
// release does not wait for the rest of the beacon time-out (70 s).
constexpr std::chrono::milliseconds receive_slice{100};

Result<platform::Socket> listen_for_beacons(const NetworkSettings& settings) {
  auto bound = platform::bind_udp({{0, 0, 0, 0}, settings.beacon_port});
  Result<platform::Socket> socket = bound ? Result<platform::Socket>(std::move(*bound))
                                          : Result<platform::Socket>(std::unexpect, ConnectionError::io(bound.error()));
  return log_and_pass_on(std::move(socket), log::Level::Warn, "Failed to listen to UDP broadcast");
}

bool is_time_out(const IoError& error) { return error.kind == IoKind::WouldBlock || error.kind == IoKind::TimedOut; }

IoError released() { return IoError::custom(IoKind::Interrupted, "library is being released"); }

// One model's turn: a datagram, or the time-out after timeout in all. The
// socket's receive time-out is already at most one slice.
platform::IoResult<platform::Datagram> receive_beacon(const platform::Socket& socket, std::span<std::uint8_t> buffer,
                                                      std::chrono::milliseconds timeout) {
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (platform::shutting_down()) return std::unexpected(released());
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return std::unexpected(IoError::custom(IoKind::WouldBlock, "beacon time-out"));
    if (left < receive_slice) {
      if (auto set = platform::set_receive_timeout(socket, left); !set) return std::unexpected(set.error());
    }
    auto datagram = platform::receive_datagram(socket, buffer);
    if (datagram || !is_time_out(datagram.error())) return datagram;
  }
}

}  // namespace

std::string Opener::debug() const {
  return fmt::format("Opener {{ info: <omitted>, ip: {}, serial: {} }}", debug_quoted(ip), debug_quoted(serial));
}

std::string debug(const std::vector<Opener>& openers) {
  std::string out = "[";
  for (std::size_t i = 0; i < openers.size(); ++i) {
    if (i > 0) out += ", ";
    out += openers[i].debug();
  }
  return out + "]";
}

Result<std::vector<Opener>> discover_tcp_devices() {
  std::vector<Opener> found;
  const std::vector<TcpModelRef> models = tcp_models();
  if (!models.empty()) {
    const NetworkSettings settings = network_settings();
    std::array<std::uint8_t, beacon_buffer_size> buffer{};
    auto socket = listen_for_beacons(settings);
    if (!socket) return std::unexpected(std::move(socket.error()));
    const auto slice = std::min(settings.beacon_receive_timeout, receive_slice);
    if (auto set = platform::set_receive_timeout(*socket, slice); !set) {
      return std::unexpected(ConnectionError::io(set.error()));
    }
    for (const TcpModelRef& model : models) {
      auto datagram = receive_beacon(*socket, buffer, settings.beacon_receive_timeout);
      // At release the remaining turns are skipped: what was heard is listed.
      if (platform::shutting_down()) break;
      // A time-out or a failed receive only uses up this entry's turn; a
      // datagram that did not fit is not a beacon.
      if (!datagram || datagram->truncated) continue;
      const std::string sender = datagram->sender.ip_text();
      LOG_DEBUG(discovery_target, "Broad cast received from {}", sender);
      auto serial = model->parse_beacon(codec::ByteView(buffer.data(), datagram->size));
      if (serial) found.push_back(Opener{sender, std::move(*serial), model});
    }
  }
  LOG_DEBUG(discovery_target, "All available devices list {}", debug(found));
  return found;
}

}  // namespace tavik::kovo_base::tcp
