#include "kovo_base/device_filter.h"

#include "base/debug_text.h"

#include <memory>
#include <mutex>

#include <fmt/format.h>

namespace tavik::kovo_base {

std::string_view name_of(DeviceModel model) { return model == DeviceModel::Ombrix ? "Ombrix" : "VortaMfe"; }

namespace {

struct FilterSlot {
  std::mutex mutex;
  DeviceFilter filter;
};

FilterSlot& filter_slot() {
  static auto* slot = new FilterSlot();
  return *slot;
}

}  // namespace

std::string DeviceFilter::debug() const {
  return fmt::format("DeviceFilter {{ device_bus: {}, device_port: {}, device_ip: {}, device_serial: {} }}",
                     debug_optional(device_bus), debug_optional(device_port), debug_optional(device_ip),
                     debug_optional(device_serial));
}

DeviceFilter current_device_filter() {
  auto& slot = filter_slot();
  std::lock_guard lock(slot.mutex);
  return slot.filter;
}

void replace_device_filter(DeviceFilter filter) {
  auto& slot = filter_slot();
  std::lock_guard lock(slot.mutex);
  slot.filter = std::move(filter);
}

}  // namespace tavik::kovo_base
