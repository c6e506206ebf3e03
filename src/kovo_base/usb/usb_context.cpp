#include "kovo_base/usb/usb_context.h"

#include <utility>

#include <fmt/format.h>
#include <libusb.h>

namespace tavik::kovo_base::usb {

Result<std::shared_ptr<UsbContext>> UsbContext::create() {
  libusb_context* context = nullptr;
  if (int rc = libusb_init(&context); rc != 0) {
    return std::unexpected(ConnectionError::rusb(usb_error_from_code(rc)));
  }
  return std::shared_ptr<UsbContext>(new UsbContext(context));
}

UsbContext::~UsbContext() { libusb_exit(context_); }

DeviceRef::DeviceRef(std::shared_ptr<UsbContext> context, libusb_device* device)
    : context_(std::move(context)), device_(libusb_ref_device(device)) {}

DeviceRef::DeviceRef(DeviceRef&& other) noexcept
    : context_(std::move(other.context_)), device_(std::exchange(other.device_, nullptr)) {}

DeviceRef& DeviceRef::operator=(DeviceRef&& other) noexcept {
  if (this != &other) {
    reset();
    context_ = std::move(other.context_);
    device_ = std::exchange(other.device_, nullptr);
  }
  return *this;
}

DeviceRef::~DeviceRef() { reset(); }

void DeviceRef::reset() noexcept {
  if (device_ != nullptr) libusb_unref_device(std::exchange(device_, nullptr));
  context_.reset();
}

std::string describe_device(libusb_device* device) {
  libusb_device_descriptor descriptor{};
  if (int rc = libusb_get_device_descriptor(device, &descriptor); rc != 0) {
    return fmt::format("Can't read device descriptor {}", usb_error_name(usb_error_from_code(rc)));
  }
  return fmt::format("Bus {:03} Device {:03}: ID {:04x}:{:04x}", libusb_get_bus_number(device),
                     libusb_get_device_address(device), descriptor.idVendor, descriptor.idProduct);
}

}  // namespace tavik::kovo_base::usb
