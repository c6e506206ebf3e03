// The libusb-1.0 functions the transport calls, over the plugged devices.
#include <algorithm>
#include <chrono>
#include <cstring>
#include <thread>

#include "usb_double/double_state.h"

using tavik::usb_double::Transfer;
using tavik::usb_double::detail::PluggedDevice;
using tavik::usb_double::detail::state;
using tavik::usb_double::detail::unlimited_wait_cap_ms;

namespace {

using Clock = std::chrono::steady_clock;
constexpr auto wait_slice = std::chrono::milliseconds(5);

std::string id_text(const libusb_device* device) { return std::to_string(device->plugged->id); }

std::chrono::milliseconds wait_of(unsigned timeout_ms) {
  return std::chrono::milliseconds(timeout_ms == 0 ? unlimited_wait_cap_ms : timeout_ms);
}

// Frees the device when its last reference goes; the lock is held.
void unref_locked(libusb_device* device) {
  auto& s = state();
  if (--device->refs > 0) return;
  s.live_devices.erase(device);
  --device->context->devices;
  delete device;
}

bool valid_handle_locked(libusb_device_handle* handle, const char* call) {
  auto& s = state();
  if (s.handles.contains(handle)) return true;
  s.misuse(std::string(call) + " on an unknown handle");
  return false;
}

// Waits out a time-out on a device, ending early when it is unplugged.
int wait_out(const std::shared_ptr<PluggedDevice>& device, unsigned timeout_ms) {
  const auto deadline = Clock::now() + wait_of(timeout_ms);
  while (Clock::now() < deadline) {
    {
      std::lock_guard lock(state().lock);
      if (!device->present) return LIBUSB_ERROR_NO_DEVICE;
    }
    std::this_thread::sleep_for(std::min<Clock::duration>(wait_slice, deadline - Clock::now()));
  }
  return LIBUSB_ERROR_TIMEOUT;
}

int bulk_out(const std::shared_ptr<PluggedDevice>& device, const tavik::usb_double::TransferFaults& faults,
             const unsigned char* data, int length, int* moved, unsigned timeout_ms) {
  if (faults.writes_time_out) return wait_out(device, timeout_ms);
  std::size_t n = static_cast<std::size_t>(length);
  if (faults.max_bytes != 0) n = std::min(n, faults.max_bytes);
  if (device->setup.link) device->setup.link->write({data, n});
  *moved = static_cast<int>(n);
  return n < static_cast<std::size_t>(length) ? faults.cut_status : 0;
}

int bulk_in(const std::shared_ptr<PluggedDevice>& device, const tavik::usb_double::TransferFaults& faults,
            unsigned char* data, int length, int* moved, unsigned timeout_ms) {
  std::size_t limit = static_cast<std::size_t>(length);
  if (faults.max_bytes != 0) limit = std::min(limit, faults.max_bytes);
  const auto deadline = Clock::now() + wait_of(timeout_ms);
  for (;;) {
    {
      std::lock_guard lock(state().lock);
      if (!device->present) return LIBUSB_ERROR_NO_DEVICE;
    }
    const auto now = Clock::now();
    if (now >= deadline) return LIBUSB_ERROR_TIMEOUT;
    const auto slice = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::min<Clock::duration>(wait_slice, deadline - now));
    if (!device->setup.link) {
      std::this_thread::sleep_for(slice);
      continue;
    }
    auto got = device->setup.link->read(limit, std::max(slice, std::chrono::milliseconds(1)));
    if (!got) {
      // A device that closed its end stays silent, as a USB device would.
      if (got.error() == tavik::usb_double::BulkLink::End::Closed) std::this_thread::sleep_for(slice);
      continue;
    }
    std::memcpy(data, got->data(), got->size());
    *moved = static_cast<int>(got->size());
    const bool cut = faults.max_bytes != 0 && got->size() == faults.max_bytes && got->size() < static_cast<std::size_t>(length);
    return cut ? faults.cut_status : 0;
  }
}

}  // namespace

extern "C" {

int LIBUSB_CALL libusb_init(libusb_context** context) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (context == nullptr) {
    s.misuse("libusb_init of the default context");
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (s.init_error != 0) return s.init_error;
  *context = new libusb_context();
  s.contexts.insert(*context);
  s.events.emplace_back("init");
  return 0;
}

void LIBUSB_CALL libusb_exit(libusb_context* context) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (!s.contexts.contains(context)) {
    s.misuse("libusb_exit of an unknown context");
    return;
  }
  if (context->devices != 0 || context->handles != 0) {
    s.misuse("libusb_exit while " + std::to_string(context->devices) + " devices and " +
             std::to_string(context->handles) + " handles live");
  }
  s.contexts.erase(context);
  s.ended_contexts.emplace_back(context);
  s.events.emplace_back("exit");
}

ssize_t LIBUSB_CALL libusb_get_device_list(libusb_context* context, libusb_device*** list) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (!s.contexts.contains(context)) {
    s.misuse("libusb_get_device_list on an unknown context");
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (s.list_error != 0) return s.list_error;
  std::vector<libusb_device*> devices;
  for (const auto& plugged : s.devices) {
    if (!plugged->present) continue;
    auto* device = new libusb_device{context, plugged};
    s.live_devices.insert(device);
    ++context->devices;
    devices.push_back(device);
  }
  *list = new libusb_device*[devices.size() + 1];
  std::copy(devices.begin(), devices.end(), *list);
  (*list)[devices.size()] = nullptr;
  return static_cast<ssize_t>(devices.size());
}

void LIBUSB_CALL libusb_free_device_list(libusb_device** list, int unref_devices) {
  if (list == nullptr) return;
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (unref_devices != 0) {
    for (libusb_device** entry = list; *entry != nullptr; ++entry) {
      if (s.live_devices.contains(*entry)) unref_locked(*entry);
    }
  }
  delete[] list;
}

libusb_device* LIBUSB_CALL libusb_ref_device(libusb_device* device) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (!s.live_devices.contains(device)) {
    s.misuse("libusb_ref_device on a freed device");
    return device;
  }
  ++device->refs;
  return device;
}

void LIBUSB_CALL libusb_unref_device(libusb_device* device) {
  if (device == nullptr) return;
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (!s.live_devices.contains(device)) {
    s.misuse("libusb_unref_device on a freed device");
    return;
  }
  unref_locked(device);
}

int LIBUSB_CALL libusb_get_device_descriptor(libusb_device* device, libusb_device_descriptor* descriptor) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (!s.live_devices.contains(device)) {
    s.misuse("libusb_get_device_descriptor on a freed device");
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (device->plugged->setup.descriptor_error != 0) return device->plugged->setup.descriptor_error;
  *descriptor = tavik::usb_double::detail::device_descriptor(device->plugged->setup);
  return 0;
}

uint8_t LIBUSB_CALL libusb_get_bus_number(libusb_device* device) { return device->plugged->setup.bus; }
uint8_t LIBUSB_CALL libusb_get_port_number(libusb_device* device) { return device->plugged->setup.port; }
uint8_t LIBUSB_CALL libusb_get_device_address(libusb_device* device) { return device->plugged->setup.address; }

int LIBUSB_CALL libusb_open(libusb_device* device, libusb_device_handle** handle) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (!s.live_devices.contains(device)) {
    s.misuse("libusb_open on a freed device");
    return LIBUSB_ERROR_INVALID_PARAM;
  }
  if (!device->plugged->present) return LIBUSB_ERROR_NO_DEVICE;
  if (device->plugged->setup.open_error != 0) return device->plugged->setup.open_error;
  ++device->refs;  // libusb holds the device while a handle is open
  *handle = new libusb_device_handle{device, {}};
  s.handles.insert(*handle);
  ++device->context->handles;
  s.events.push_back("open " + id_text(device));
  return 0;
}

void LIBUSB_CALL libusb_close(libusb_device_handle* handle) {
  if (handle == nullptr) return;
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (!valid_handle_locked(handle, "libusb_close")) return;
  if (!handle->claimed.empty()) s.misuse("libusb_close with a claimed interface");
  s.events.push_back("close " + id_text(handle->device));
  s.handles.erase(handle);
  --handle->device->context->handles;
  unref_locked(handle->device);
  delete handle;
}

libusb_device* LIBUSB_CALL libusb_get_device(libusb_device_handle* handle) { return handle->device; }

int LIBUSB_CALL libusb_set_auto_detach_kernel_driver(libusb_device_handle* handle, int enable) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (!valid_handle_locked(handle, "libusb_set_auto_detach_kernel_driver")) return LIBUSB_ERROR_INVALID_PARAM;
  if (enable != 1) s.misuse("auto detach asked with " + std::to_string(enable));
  return handle->device->plugged->setup.auto_detach_error;
}

int LIBUSB_CALL libusb_claim_interface(libusb_device_handle* handle, int interface_number) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (!valid_handle_locked(handle, "libusb_claim_interface")) return LIBUSB_ERROR_INVALID_PARAM;
  const auto& plugged = handle->device->plugged;
  if (!plugged->present) return LIBUSB_ERROR_NO_DEVICE;
  if (plugged->setup.claim_error != 0) return plugged->setup.claim_error;
  // Another handle, of any context, holding the interface keeps it busy.
  for (const auto* other : s.handles) {
    if (other != handle && other->device->plugged == plugged && other->claimed.contains(interface_number)) {
      return LIBUSB_ERROR_BUSY;
    }
  }
  handle->claimed.insert(interface_number);
  s.events.push_back("claim " + id_text(handle->device) + ":" + std::to_string(interface_number));
  return 0;
}

int LIBUSB_CALL libusb_release_interface(libusb_device_handle* handle, int interface_number) {
  auto& s = state();
  std::lock_guard lock(s.lock);
  if (!valid_handle_locked(handle, "libusb_release_interface")) return LIBUSB_ERROR_INVALID_PARAM;
  if (handle->claimed.erase(interface_number) == 0) {
    s.misuse("release of an interface not claimed");
    return LIBUSB_ERROR_NOT_FOUND;
  }
  s.events.push_back("release " + id_text(handle->device) + ":" + std::to_string(interface_number));
  return handle->device->plugged->present ? 0 : LIBUSB_ERROR_NO_DEVICE;
}

int LIBUSB_CALL libusb_control_transfer(libusb_device_handle* handle, uint8_t request_type, uint8_t request,
                                        uint16_t value, uint16_t index, unsigned char* data, uint16_t length,
                                        unsigned int timeout) {
  std::shared_ptr<PluggedDevice> device;
  {
    auto& s = state();
    std::lock_guard lock(s.lock);
    if (!valid_handle_locked(handle, "libusb_control_transfer")) return LIBUSB_ERROR_INVALID_PARAM;
    device = handle->device->plugged;
    s.controls.push_back({device->id, request_type, request, value, index, length, timeout});
    if (!device->present) return LIBUSB_ERROR_NO_DEVICE;
  }
  if (device->setup.strings_time_out) return wait_out(device, timeout);
  const bool string_request = request_type == LIBUSB_ENDPOINT_IN && request == LIBUSB_REQUEST_GET_DESCRIPTOR &&
                              (value >> 8) == LIBUSB_DT_STRING;
  if (!string_request) return LIBUSB_ERROR_PIPE;
  const auto reply = tavik::usb_double::detail::string_reply(device->setup, static_cast<std::uint8_t>(value & 0xFF));
  if (!reply) return LIBUSB_ERROR_PIPE;  // a device stalls a request for a string it lacks
  const std::size_t n = std::min<std::size_t>(reply->size(), length);
  std::memcpy(data, reply->data(), n);
  return static_cast<int>(n);
}

int LIBUSB_CALL libusb_bulk_transfer(libusb_device_handle* handle, unsigned char endpoint, unsigned char* data,
                                     int length, int* actual_length, unsigned int timeout) {
  std::shared_ptr<PluggedDevice> device;
  tavik::usb_double::TransferFaults faults;
  const bool in = (endpoint & LIBUSB_ENDPOINT_IN) != 0;
  int moved = 0;
  int status = 0;
  {
    auto& s = state();
    std::lock_guard lock(s.lock);
    if (!valid_handle_locked(handle, "libusb_bulk_transfer")) return LIBUSB_ERROR_INVALID_PARAM;
    if (!handle->claimed.contains(1)) s.misuse("bulk transfer without a claimed interface");
    device = handle->device->plugged;
    faults = device->faults;
    if (!device->present) {
      status = LIBUSB_ERROR_NO_DEVICE;
    } else if (endpoint != (in ? device->setup.in_endpoint : device->setup.out_endpoint)) {
      status = LIBUSB_ERROR_NOT_FOUND;
    } else if (faults.error != 0) {
      status = faults.error;
    }
  }
  if (status == 0) {
    status = in ? bulk_in(device, faults, data, length, &moved, timeout)
                : bulk_out(device, faults, data, length, &moved, timeout);
  }
  if (actual_length != nullptr) *actual_length = moved;
  auto& s = state();
  std::lock_guard lock(s.lock);
  s.transfers.push_back(Transfer{device->id, in, timeout, static_cast<std::size_t>(length),
                                 static_cast<std::size_t>(moved), status});
  return status;
}

const char* LIBUSB_CALL libusb_error_name(int code) {
  switch (code) {
    case LIBUSB_ERROR_TIMEOUT: return "LIBUSB_ERROR_TIMEOUT";
    case LIBUSB_ERROR_NO_DEVICE: return "LIBUSB_ERROR_NO_DEVICE";
    case LIBUSB_ERROR_PIPE: return "LIBUSB_ERROR_PIPE";
    default: return code == 0 ? "LIBUSB_SUCCESS" : "LIBUSB_ERROR_OTHER";
  }
}

}  // extern "C"
