#include "kovo_base/device_filter.h"

#include <memory>
#include <mutex>

#include <fmt/format.h>

namespace tavik::kovo_base {

std::string_view name_of(DeviceModel model) { return model == DeviceModel::Ombrix ? "Ombrix" : "VortaMfe"; }

namespace {

std::string quoted(std::string_view text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

template <class T>
std::string optional_debug(const std::optional<T>& value) {
  if (!value) return "None";
  if constexpr (std::is_same_v<T, std::string>) {
    return "Some(" + quoted(*value) + ")";
  } else {
    return fmt::format("Some({})", static_cast<unsigned>(*value));
  }
}

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
                     optional_debug(device_bus), optional_debug(device_port), optional_debug(device_ip),
                     optional_debug(device_serial));
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
