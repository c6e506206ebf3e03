#include "kovo_base/usb/open_usb.h"

#include <algorithm>

#include "kovo_base/device_filter.h"
#include "kovo_base/usb/usb_candidates.h"
#include "kovo_base/usb/usb_handle.h"
#include "log/log.h"

namespace tavik::kovo_base::usb {
namespace {

constexpr std::string_view handle_target = "kovo_base::connection::handle";

bool passes_product_check(const Opener& candidate) {
  const auto& required = candidate.model_info->required_product;
  if (!required) return true;
  const auto product = read_usb_string(candidate.device.handle(), UsbString::Product);
  return product && *product == *required;
}

}  // namespace

Result<connection::Handle> open_usb() {
  const DeviceFilter filter = current_device_filter();
  LOG_DEBUG(handle_target, "Searching USB device with options: {}", filter.debug());
  auto candidates = list_usb_candidates();
  if (!candidates) return std::unexpected(std::move(candidates.error()));

  // Candidates that are dropped or passed over are destroyed, which closes them.
  std::erase_if(*candidates, [&](const Opener& candidate) {
    return (filter.device_bus && candidate.device.bus() != *filter.device_bus) ||
           (filter.device_port && candidate.device.port() != *filter.device_port);
  });
  for (auto& candidate : *candidates) {
    if (!passes_product_check(candidate)) {
      Opener failed = std::move(candidate);  // closed here, before the next one is tried
      continue;
    }
    Opener chosen = std::move(candidate);
    LOG_INFO(handle_target, "Successfuly openned USB connection (hub: {}, port: {})", chosen.device.bus(),
             chosen.device.port());
    candidates->clear();
    return connection::Handle::usb(std::make_unique<UsbHandle>(std::move(chosen.device), *chosen.model_info));
  }
  LOG_DEBUG(handle_target, "No USB device found");
  return std::unexpected(ConnectionError::device_not_found());
}

}  // namespace tavik::kovo_base::usb
