#include "mfe/device_selection.h"

#include "dllsat/utils.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/device_filter.h"
#include "kovo_base/device_lists/device_lists.h"
#include "mfe/heartbeat/heartbeat.h"
#include "mfe/logging.h"

namespace tavik::mfe {

namespace connection = kovo_base::connection;

void set_opening_options(std::optional<std::uint8_t> bus, std::optional<std::uint8_t> port,
                         std::optional<std::string> ip, std::optional<std::string> serial) {
  // The filter first: an opening that slipped in between (the heartbeat's
  // probe) would otherwise pick the device by the old filter and keep it.
  // Any opening that the drop waits for is discarded by it.
  kovo_base::replace_device_filter({bus, port, std::move(ip), std::move(serial)});
  connection::drop_connection();
}

kovo_base::Result<void> probe_connection() {
  auto guard = connection::get_connection();
  if (!guard) {
    return log_and_pass_on(kovo_base::Result<void>(std::unexpected(guard.error())), log::Level::Error,
                           "Failed to open connection");
  }
  guard->release();
  return {};
}

namespace {
int probe_result() { return probe_connection() ? 0 : 1; }
}  // namespace

int filter_by_serial(const char* serial) {
  auto text = dllsat::read_c_string_argument(serial);
  if (!text) return 1;
  set_opening_options(std::nullopt, std::nullopt, std::nullopt, std::move(*text));
  return probe_result();
}

int filter_by_usb(int hub, int port) {
  // Only the low eight bits count: 257 and 260 select bus 1, port 4.
  set_opening_options(static_cast<std::uint8_t>(hub & 0xFF), static_cast<std::uint8_t>(port & 0xFF), std::nullopt,
                      std::nullopt);
  return probe_result();
}

int filter_by_ip(const char* ip) {
  auto text = dllsat::read_c_string_argument(ip);
  if (!text) return 1;
  set_opening_options(std::nullopt, std::nullopt, std::move(*text), std::nullopt);
  start_heartbeat();
  return probe_result();
}

void clear_filters() { set_opening_options(std::nullopt, std::nullopt, std::nullopt, std::nullopt); }

const char* device_info_json() {
  auto guard = connection::get_connection();
  if (!guard) {
    log_and_pass_on(guard, log::Level::Error, "Failed to open connection");
    return nullptr;
  }
  const auto info = kovo_base::device_info_of(*guard);
  guard->release();  // per-request mode closes the connection here
  return kovo_base::new_c_text(kovo_base::to_json(info));
}

const char* usb_devices_json() {
  auto devices = kovo_base::list_usb_devices();
  return devices ? kovo_base::new_c_text(kovo_base::to_json(*devices)) : nullptr;
}

const char* tcp_devices_json() {
  auto devices = kovo_base::list_tcp_devices();
  return devices ? kovo_base::new_c_text(kovo_base::to_json(*devices)) : nullptr;
}

}  // namespace tavik::mfe
