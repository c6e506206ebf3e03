#include "kovo_base/device_lists/device_lists.h"

#include "kovo_base/tcp/discovery.h"
#include "kovo_base/tcp/tcp_handle.h"
#include "kovo_base/usb/usb_candidates.h"
#include "kovo_base/usb/usb_identity.h"
#include "log/log.h"

namespace tavik::kovo_base {

DeviceInfo device_info_of(connection::ConnectionGuard& guard) {
  connection::Handle& handle = guard.handle();
  if (const auto* tcp_handle = tcp::tcp_handle_of(handle)) {
    return {Transport::Tcp, tcp_handle->info()->model, tcp_handle->ip(), tcp_handle->serial(), std::nullopt,
            std::nullopt};
  }
  if (auto usb = usb::usb_device_info(handle)) return *usb;
  // A handle of neither transport (a test double): its kind is all we know.
  return {handle.kind() == connection::HandleKind::Tcp ? Transport::Tcp : Transport::Usb, DeviceModel::VortaMfe,
          std::nullopt, std::nullopt, std::nullopt, std::nullopt};
}

Result<std::vector<DeviceInfo>> list_usb_devices() {
  auto candidates = usb::list_usb_candidates();
  if (!candidates) return std::unexpected(std::move(candidates.error()));
  LOG_TRACE("kovo_base", "usb devices: {}", usb::debug_list(*candidates));
  std::vector<DeviceInfo> records;
  records.reserve(candidates->size());
  for (auto& candidate : *candidates) records.push_back(usb::usb_device_info(candidate));
  return records;  // the candidates close when the list goes
}

Result<std::vector<DeviceInfo>> list_tcp_devices() {
  auto openers = tcp::discover_tcp_devices();
  if (!openers) return std::unexpected(std::move(openers.error()));
  LOG_TRACE("kovo_base", "tcp devices: {}", tcp::debug(*openers));
  std::vector<DeviceInfo> records;
  records.reserve(openers->size());
  for (const auto& opener : *openers) {
    records.push_back({Transport::Tcp, opener.info->model, opener.ip, opener.serial, std::nullopt, std::nullopt});
  }
  return records;
}

}  // namespace tavik::kovo_base
