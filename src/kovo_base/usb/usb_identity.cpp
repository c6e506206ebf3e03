#include "kovo_base/usb/usb_identity.h"

#include "kovo_base/usb/usb_handle.h"

namespace tavik::kovo_base::usb {
namespace {

DeviceInfo usb_record(DeviceModel model, std::uint8_t bus, std::uint8_t port, std::optional<std::string> serial) {
  DeviceInfo info;
  info.transport = Transport::Usb;
  info.model = model;
  info.bus = bus;
  info.port = port;
  info.serial = std::move(serial);
  return info;
}

}  // namespace

DeviceInfo usb_device_info(const Opener& candidate) {
  return usb_record(candidate.model_info->model, candidate.device.bus(), candidate.device.port(),
                    read_usb_string(candidate.device.handle(), UsbString::SerialNumber));
}

std::optional<DeviceInfo> usb_device_info(connection::Handle& handle) {
  auto* usb = dynamic_cast<UsbHandle*>(handle.usb_transport());
  if (usb == nullptr) return std::nullopt;
  return usb_record(usb->info().model, usb->bus(), usb->port(), usb->read_string(UsbString::SerialNumber));
}

}  // namespace tavik::kovo_base::usb
