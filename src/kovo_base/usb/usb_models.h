#pragma once
// The device models reachable over USB, and the registry the enumeration
// matches devices against.
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <vector>

#include "kovo_base/device_filter.h"

struct libusb_device;

namespace tavik::kovo_base::usb {

struct UsbModel {
  DeviceModel model;
  // A device of this model is only opened when its product string is exactly this.
  std::optional<std::string_view> required_product;
  std::uint16_t vendor_id;
  std::uint16_t product_id;
  std::uint8_t in_endpoint;
  std::uint8_t out_endpoint;

  std::string_view display_name() const { return name_of(model); }
};

// The fixed USB identity of a supported model.
const UsbModel& supported_usb_model(DeviceModel model);

// An ordered list of models; lookups return the first entry whose ids match.
// Entries never move, so the references handed out stay valid.
class UsbModelRegistry {
 public:
  // Appends the entry; a model already present is not added twice.
  void add(const UsbModel& entry);
  const UsbModel* find(std::uint16_t vendor_id, std::uint16_t product_id) const;
  std::vector<DeviceModel> models() const;

 private:
  mutable std::mutex lock_;
  std::deque<UsbModel> entries_;
};

UsbModelRegistry& usb_model_registry();

// Drops the open connection, adds the model to the process registry and
// installs the USB opener.
void register_usb_model(const UsbModel& entry);
void register_usb_model(DeviceModel model);
// VortaMfe, then Ombrix.
void register_supported_usb_models();

// The registry entry matching the device's descriptor ids; none when nothing
// matches or the descriptor cannot be read.
const UsbModel* find_usb_model(libusb_device* device);

}  // namespace tavik::kovo_base::usb
