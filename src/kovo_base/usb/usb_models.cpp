#include "kovo_base/usb/usb_models.h"

#include <libusb.h>

#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/openers.h"
#include "kovo_base/usb/open_usb.h"

namespace tavik::kovo_base::usb {
namespace {

constexpr UsbModel vorta_mfe{DeviceModel::VortaMfe, "Vorta MFE", 0x2FE7, 0x0001, 0x81, 0x02};
constexpr UsbModel ombrix{DeviceModel::Ombrix, std::nullopt, 0x0525, 0xA4A6, 0x81, 0x01};

}  // namespace

const UsbModel& supported_usb_model(DeviceModel model) {
  return model == DeviceModel::Ombrix ? ombrix : vorta_mfe;
}

void UsbModelRegistry::add(const UsbModel& entry) {
  std::lock_guard lock(lock_);
  for (const UsbModel& known : entries_) {
    if (known.model == entry.model) return;
  }
  entries_.push_back(entry);
}

const UsbModel* UsbModelRegistry::find(std::uint16_t vendor_id, std::uint16_t product_id) const {
  std::lock_guard lock(lock_);
  for (const UsbModel& entry : entries_) {
    if (entry.vendor_id == vendor_id && entry.product_id == product_id) return &entry;
  }
  return nullptr;
}

std::vector<DeviceModel> UsbModelRegistry::models() const {
  std::lock_guard lock(lock_);
  std::vector<DeviceModel> out;
  for (const UsbModel& entry : entries_) out.push_back(entry.model);
  return out;
}

UsbModelRegistry& usb_model_registry() {
  static UsbModelRegistry registry;
  return registry;
}

void register_usb_model(const UsbModel& entry) {
  connection::drop_connection();
  usb_model_registry().add(entry);
  connection::set_opener(connection::HandleKind::Usb, open_usb);
}

void register_usb_model(DeviceModel model) { register_usb_model(supported_usb_model(model)); }

void register_supported_usb_models() {
  register_usb_model(DeviceModel::VortaMfe);
  register_usb_model(DeviceModel::Ombrix);
}

const UsbModel* find_usb_model(libusb_device* device) {
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(device, &descriptor) != 0) return nullptr;
  return usb_model_registry().find(descriptor.idVendor, descriptor.idProduct);
}

}  // namespace tavik::kovo_base::usb
