// The tests' side of the double: plugging devices and reading the records.
#include "usb_double/double_state.h"

namespace tavik::usb_double {
namespace detail {

State& state() {
  static State instance;
  return instance;
}

}  // namespace detail

using detail::state;

DeviceSpec vorta_mfe(std::uint8_t bus, std::uint8_t port, std::shared_ptr<BulkLink> link) {
  DeviceSpec setup;
  setup.vendor_id = 0x2FE7;
  setup.product_id = 0x0001;
  setup.bus = bus;
  setup.port = port;
  setup.address = static_cast<std::uint8_t>(port + 10);
  setup.product = "Vorta MFE";
  setup.serial = "900000123";
  setup.out_endpoint = 0x02;
  setup.link = std::move(link);
  return setup;
}

DeviceSpec ombrix(std::uint8_t bus, std::uint8_t port, std::shared_ptr<BulkLink> link) {
  DeviceSpec setup;
  setup.vendor_id = 0x0525;
  setup.product_id = 0xA4A6;
  setup.bus = bus;
  setup.port = port;
  setup.address = static_cast<std::uint8_t>(port + 20);
  setup.product = "Ombrix SAT";
  setup.serial = "OMB-0042";
  setup.out_endpoint = 0x01;
  setup.link = std::move(link);
  return setup;
}

DeviceId plug(DeviceSpec setup) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  auto device = std::make_shared<detail::PluggedDevice>();
  device->id = s.next_id++;
  device->setup = std::move(setup);
  s.devices.push_back(device);
  return device->id;
}

void unplug(DeviceId id) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  for (auto& device : s.devices) {
    if (device->id == id) device->present = false;
  }
}

void set_faults(DeviceId id, TransferFaults faults) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  for (auto& device : s.devices) {
    if (device->id == id) device->faults = faults;
  }
}

void fail_init(int code) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  s.init_error = code;
}

void fail_device_list(int code) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  s.list_error = code;
}

void reset() {
  auto& s = state();
  std::lock_guard lock(s.lock);
  for (auto& device : s.devices) device->present = false;
  s.devices.clear();
  s.init_error = 0;
  s.list_error = 0;
  s.events.clear();
  s.transfers.clear();
  s.controls.clear();
  s.misuses.clear();
}

std::vector<std::string> events() {
  auto& s = state();
  std::lock_guard lock(s.lock);
  return s.events;
}

std::vector<Transfer> transfers() {
  auto& s = state();
  std::lock_guard lock(s.lock);
  return s.transfers;
}

std::vector<ControlRequest> control_requests() {
  auto& s = state();
  std::lock_guard lock(s.lock);
  return s.controls;
}

Census census() {
  auto& s = state();
  std::lock_guard lock(s.lock);
  Census c;
  c.contexts = static_cast<int>(s.contexts.size());
  c.devices = static_cast<int>(s.live_devices.size());
  c.handles = static_cast<int>(s.handles.size());
  for (const auto* handle : s.handles) c.claimed += static_cast<int>(handle->claimed.size());
  c.misuses = static_cast<int>(s.misuses.size());
  return c;
}

std::vector<std::string> misuses() {
  auto& s = state();
  std::lock_guard lock(s.lock);
  return s.misuses;
}

}  // namespace tavik::usb_double
