#include "kovo_base/tcp/discovery.h"

#include "kovo_base/debug_text.h"

#include <array>

#include <fmt/format.h>

#include "kovo_base/logging.h"
#include "kovo_base/tcp/network_settings.h"
#include "mfe/log/log.h"
#include "platform/sockets.h"

namespace tavik::kovo_base::tcp {
namespace {

constexpr std::string_view discovery_target = "kovo_base::connection::tcp";
constexpr std::size_t beacon_buffer_size = 256;


Result<platform::Socket> listen_for_beacons(const NetworkSettings& settings) {
  auto bound = platform::bind_udp({{0, 0, 0, 0}, settings.beacon_port});
  Result<platform::Socket> socket = bound ? Result<platform::Socket>(std::move(*bound))
                                          : Result<platform::Socket>(std::unexpect, ConnectionError::io(bound.error()));
  return log_and_pass_on(std::move(socket), log::Level::Warn, "Failed to listen to UDP broadcast");
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
    if (auto set = platform::set_receive_timeout(*socket, settings.beacon_receive_timeout); !set) {
      return std::unexpected(ConnectionError::io(set.error()));
    }
    for (const TcpModelRef& model : models) {
      auto datagram = platform::receive_datagram(*socket, buffer);
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
