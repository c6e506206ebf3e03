#pragma once
// The record of one device, and its JSON form for the listing exports.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "kovo_base/device_filter.h"

namespace tavik::kovo_base {

enum class Transport : std::uint8_t { Usb, Tcp };

struct DeviceInfo {
  Transport transport = Transport::Usb;
  DeviceModel model = DeviceModel::VortaMfe;
  std::optional<std::string> ip;
  std::optional<std::string> serial;
  std::optional<std::uint8_t> bus;
  std::optional<std::uint8_t> port;
  friend bool operator==(const DeviceInfo&, const DeviceInfo&) = default;
};

// {"model":"Usb(VortaMfe)","bus":1,"port":4,"ip":"...","serial":"..."}, with
// absent members left out and no whitespace.
std::string to_json(const DeviceInfo& info);
// [obj,obj] in order; [] when empty.
std::string to_json(const std::vector<DeviceInfo>& infos);
// A JSON string literal with standard escaping.
std::string json_string(std::string_view text);

// A new NUL-terminated copy that the caller owns and the library never frees.
const char* new_c_text(const std::string& text);

}  // namespace tavik::kovo_base
