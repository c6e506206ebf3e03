#include "kovo_base/usb/usb_device.h"

#include <utility>

#include <libusb.h>

namespace tavik::kovo_base::usb {

std::expected<OpenDevice, UsbErrorKind> OpenDevice::open(DeviceRef device) {
  libusb_device_handle* handle = nullptr;
  if (int rc = libusb_open(device.raw(), &handle); rc != 0) return std::unexpected(usb_error_from_code(rc));
  return OpenDevice(std::move(device), handle);
}

OpenDevice::OpenDevice(OpenDevice&& other) noexcept
    : device_(std::move(other.device_)),
      handle_(std::exchange(other.handle_, nullptr)),
      claimed_(std::exchange(other.claimed_, false)) {}

OpenDevice& OpenDevice::operator=(OpenDevice&& other) noexcept {
  if (this != &other) {
    close();
    device_ = std::move(other.device_);
    handle_ = std::exchange(other.handle_, nullptr);
    claimed_ = std::exchange(other.claimed_, false);
  }
  return *this;
}

OpenDevice::~OpenDevice() { close(); }

void OpenDevice::close() noexcept {
  if (handle_ == nullptr) return;
  if (std::exchange(claimed_, false)) libusb_release_interface(handle_, fiscal_interface);
  libusb_close(std::exchange(handle_, nullptr));
}

bool OpenDevice::enable_auto_detach() { return libusb_set_auto_detach_kernel_driver(handle_, 1) == 0; }

bool OpenDevice::claim_fiscal_interface() {
  claimed_ = libusb_claim_interface(handle_, fiscal_interface) == 0;
  return claimed_;
}

std::uint8_t OpenDevice::bus() const { return libusb_get_bus_number(device_.raw()); }
std::uint8_t OpenDevice::port() const { return libusb_get_port_number(device_.raw()); }

}  // namespace tavik::kovo_base::usb
