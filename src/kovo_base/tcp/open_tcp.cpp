#include "kovo_base/tcp/open_tcp.h"

#include <fmt/format.h>

#include "kovo_base/ca_certificate/ca_certificate.h"
#include "kovo_base/tcp/cert_verifier.h"
#include "kovo_base/tcp/ipv4.h"
#include "kovo_base/tcp/network_settings.h"
#include "kovo_base/tcp/tcp_handle.h"
#include "kovo_base/tcp/tls_config.h"
#include "log/log.h"
#include "platform/sockets.h"

namespace tavik::kovo_base::tcp {
namespace {

constexpr std::string_view handle_target = "kovo_base::connection::handle";
constexpr std::string_view undiscovered_serial = "NA";

ConnectionError tls_failure(const TlsError& error) { return ConnectionError::tcp(error.display()); }

}  // namespace

Result<std::optional<Opener>> choose_device(const DeviceFilter& filter,
                                            const std::function<Result<std::vector<Opener>>()>& discover) {
  if (filter.device_ip && !filter.device_serial) {
    const auto models = tcp_models();
    if (models.empty()) return std::optional<Opener>();
    return std::optional<Opener>(Opener{*filter.device_ip, std::string(undiscovered_serial), models.front()});
  }
  auto discovered = discover();
  if (!discovered) return std::unexpected(std::move(discovered.error()));
  std::optional<Opener> chosen;
  for (Opener& candidate : *discovered) {
    if (filter.device_serial && candidate.serial != *filter.device_serial) continue;
    if (filter.device_ip && candidate.ip != *filter.device_ip) continue;
    chosen = std::move(candidate);  // the one heard last wins
  }
  return chosen;
}

Result<connection::Handle> connect_tcp(const Opener& device) {
  auto address = parse_ipv4(device.ip);
  if (!address) return std::unexpected(ConnectionError::ip_parse(address.error()));

  auto pem = decode_pem(device.info->ca_certificate());
  if (!pem) return std::unexpected(tls_failure(TlsError::general("Failed to parse certificate file: " + pem.error())));
  auto verifier = std::make_shared<const CertVerifier>(std::move(*pem), ServerName::ip_v4(*address));
  auto config = make_tls_config(verifier);
  if (!config) return std::unexpected(tls_failure(config.error()));
  auto stream = TlsStream::create(*config, ServerName::ip_v4(*address));
  if (!stream) return std::unexpected(tls_failure(stream.error()));

  const NetworkSettings settings = network_settings();
  const std::string ip = fmt::format("{}:{}", device.ip, settings.tls_port);
  auto socket = platform::connect_tcp({*address, settings.tls_port}, settings.connect_timeout);
  if (!socket) return std::unexpected(ConnectionError::io(socket.error()));
  if (auto attached = (*stream)->attach(std::move(*socket)); !attached) {
    return std::unexpected(tls_failure(attached.error()));
  }
  return connection::Handle::tcp(std::make_unique<TcpHandle>(std::move(*stream), ip, device.serial, device.info));
}

Result<connection::Handle> open_tcp() {
  const DeviceFilter filter = current_device_filter();
  LOG_DEBUG(handle_target, "Searching TCP device with options: {}", filter.debug());
  auto chosen = choose_device(filter, discover_tcp_devices);
  if (!chosen) return std::unexpected(std::move(chosen.error()));
  if (!*chosen) {
    LOG_DEBUG(handle_target, "No TCP device found");
    return std::unexpected(ConnectionError::device_not_found());
  }
  auto handle = connect_tcp(**chosen);
  if (!handle) return handle;
  auto state = handle->check_connection();
  if (!state) return std::unexpected(std::move(state.error()));
  if (*state == connection::LinkState::Closed) {
    LOG_TRACE(handle_target, "Failed to connect: {}", handle->debug());
    return std::unexpected(ConnectionError::connection());
  }
  LOG_TRACE(handle_target, "New TCP stream open: {}", handle->debug());
  return handle;
}

}  // namespace tavik::kovo_base::tcp
