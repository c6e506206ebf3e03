#pragma once
// The process-wide opening options and the supported device models.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavik::kovo_base {

enum class DeviceModel : std::uint8_t { VortaMfe = 0, Ombrix = 1 };
std::string_view name_of(DeviceModel model);

struct DeviceFilter {
  std::optional<std::uint8_t> device_bus;
  std::optional<std::uint8_t> device_port;
  std::optional<std::string> device_ip;
  std::optional<std::string> device_serial;

  // DeviceFilter { device_bus: Some(1), device_port: None, device_ip: None, device_serial: None }
  std::string debug() const;
  friend bool operator==(const DeviceFilter&, const DeviceFilter&) = default;
};

// A consistent copy of the current filter: replacements never tear a read.
DeviceFilter current_device_filter();
// Replaces the whole filter. Callers that change the options go through
// set_opening_options, which also drops the open connection.
void replace_device_filter(DeviceFilter filter);

}  // namespace tavik::kovo_base
