#pragma once
// The double's inner state: plugged devices, live libusb objects and the
// records tests read back. One lock guards all of it; waits happen outside.
#include <libusb.h>

#include <memory>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "usb_double/usb_double.h"

namespace tavik::usb_double::detail {

struct PluggedDevice {
  DeviceId id;
  DeviceSpec setup;
  TransferFaults faults;
  bool present = true;
};

}  // namespace tavik::usb_double::detail

// libusb's opaque types, as the double keeps them.
struct libusb_context {
  int devices = 0;
  int handles = 0;
};

struct libusb_device {
  libusb_context* context;
  std::shared_ptr<tavik::usb_double::detail::PluggedDevice> plugged;
  int refs = 1;
};

struct libusb_device_handle {
  libusb_device* device;
  std::set<int> claimed;
};

namespace tavik::usb_double::detail {

// Longest wait of a transfer asked to wait without limit, so that a test
// never hangs.
inline constexpr unsigned unlimited_wait_cap_ms = 10'000;

struct State {
  std::mutex lock;
  int next_id = 1;
  std::vector<std::shared_ptr<PluggedDevice>> devices;
  int init_error = 0;
  int list_error = 0;
  std::vector<std::string> events;
  std::vector<Transfer> transfers;
  std::vector<ControlRequest> controls;
  std::vector<std::string> misuses;
  std::set<const libusb_context*> contexts;
  // Ended contexts stay allocated: objects that outlived them still point there.
  std::vector<std::unique_ptr<libusb_context>> ended_contexts;
  std::set<const libusb_device*> live_devices;
  std::set<const libusb_device_handle*> handles;

  void misuse(std::string what) { misuses.push_back(std::move(what)); }
};

State& state();

// Descriptor bytes of a plugged device.
libusb_device_descriptor device_descriptor(const DeviceSpec& setup);
// The reply to GET_DESCRIPTOR for string `index`; none when the device has no such string.
std::optional<Bytes> string_reply(const DeviceSpec& setup, std::uint8_t index);

}  // namespace tavik::usb_double::detail

