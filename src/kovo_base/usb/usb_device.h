#pragma once
// An opened libusb device with interface 1 claimed. Closing releases the
// interface, closes the handle and drops the device reference, in that order.
#include <cstdint>
#include <memory>

#include "kovo_base/connection_error.h"
#include "kovo_base/usb/usb_context.h"

struct libusb_device_handle;

namespace tavik::kovo_base::usb {

inline constexpr int fiscal_interface = 1;

class OpenDevice {
 public:
  // Opens the device; the UsbErrorKind of a failing libusb_open otherwise.
  static std::expected<OpenDevice, UsbErrorKind> open(DeviceRef device);
  OpenDevice(OpenDevice&& other) noexcept;
  OpenDevice& operator=(OpenDevice&& other) noexcept;
  OpenDevice(const OpenDevice&) = delete;
  OpenDevice& operator=(const OpenDevice&) = delete;
  ~OpenDevice();

  // Asks libusb to detach kernel drivers by itself; false where unsupported.
  bool enable_auto_detach();
  bool claim_fiscal_interface();

  libusb_device_handle* handle() const { return handle_; }
  libusb_device* device() const { return device_.raw(); }
  std::uint8_t bus() const;
  std::uint8_t port() const;

 private:
  OpenDevice(DeviceRef device, libusb_device_handle* handle) : device_(std::move(device)), handle_(handle) {}
  void close() noexcept;

  DeviceRef device_;
  libusb_device_handle* handle_;
  bool claimed_ = false;
};

}  // namespace tavik::kovo_base::usb
