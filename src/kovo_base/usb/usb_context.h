#pragma once
// A libusb context shared by everything taken from it: it is ended only when
// the device list, the last candidate and the last open handle are gone.
#include <memory>
#include <string>

#include "kovo_base/connection_error.h"

struct libusb_context;
struct libusb_device;

namespace tavik::kovo_base::usb {

class UsbContext {
 public:
  // A new context, never libusb's default one.
  static Result<std::shared_ptr<UsbContext>> create();
  ~UsbContext();
  UsbContext(const UsbContext&) = delete;
  UsbContext& operator=(const UsbContext&) = delete;

  libusb_context* raw() const { return context_; }

 private:
  explicit UsbContext(libusb_context* context) : context_(context) {}
  libusb_context* context_;
};

// One reference to a libusb device; keeps its context alive.
class DeviceRef {
 public:
  // Takes a new reference on device.
  DeviceRef(std::shared_ptr<UsbContext> context, libusb_device* device);
  DeviceRef(DeviceRef&& other) noexcept;
  DeviceRef& operator=(DeviceRef&& other) noexcept;
  DeviceRef(const DeviceRef&) = delete;
  DeviceRef& operator=(const DeviceRef&) = delete;
  ~DeviceRef();

  libusb_device* raw() const { return device_; }
  const std::shared_ptr<UsbContext>& context() const { return context_; }

 private:
  void reset() noexcept;
  // Declared first: destroyed last, after the device reference is dropped.
  std::shared_ptr<UsbContext> context_;
  libusb_device* device_;
};

// "Bus 001 Device 004: ID 2fe7:0001", or "Can't read device descriptor <kind>".
std::string describe_device(libusb_device* device);

}  // namespace tavik::kovo_base::usb
