#pragma once
// A stand-in for libusb-1.0: the same C functions over devices that tests
// plug in, unplug and make misbehave. Each device's bulk endpoints lead to a
// BulkLink (a simulated fiscal module, or bytes played by the test).
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "usb_double/bulk_link.h"

namespace tavik::usb_double {

using DeviceId = int;

struct DeviceSpec {
  std::uint16_t vendor_id = 0;
  std::uint16_t product_id = 0;
  std::uint8_t bus = 1;
  std::uint8_t port = 1;
  std::uint8_t address = 1;
  // Served as string descriptors 1 and 2; absent: the descriptor index is 0.
  std::optional<std::string> product;
  std::optional<std::string> serial;
  // Raw replies by string index (0: the language list), in place of the
  // ones built from the texts above.
  std::map<std::uint8_t, Bytes> raw_strings;
  // Every string descriptor request waits out its time-out and fails.
  bool strings_time_out = false;
  std::uint8_t in_endpoint = 0x81;
  std::uint8_t out_endpoint = 0x02;
  // libusb codes answered by these calls; 0 succeeds.
  int descriptor_error = 0;
  int open_error = 0;
  int auto_detach_error = 0;
  int claim_error = 0;
  // Null: writes vanish and reads time out.
  std::shared_ptr<BulkLink> link;
};

// The two supported models as a real device presents them.
DeviceSpec vorta_mfe(std::uint8_t bus, std::uint8_t port, std::shared_ptr<BulkLink> link = nullptr);
DeviceSpec ombrix(std::uint8_t bus, std::uint8_t port, std::shared_ptr<BulkLink> link = nullptr);

struct TransferFaults {
  int error = 0;              // every bulk transfer fails at once with this libusb code
  std::size_t max_bytes = 0;  // one transfer moves at most this many bytes (0: no limit)
  int cut_status = -7;        // returned with the bytes of a transfer cut short (LIBUSB_ERROR_TIMEOUT)
  bool writes_time_out = false;  // writes wait out their time-out and move nothing
};

// Plugs a device in after those already present; libusb lists them in this order.
DeviceId plug(DeviceSpec setup);
// The device is gone: missing from new lists, every call on an open handle
// answers LIBUSB_ERROR_NO_DEVICE, and a read waiting on it ends with that.
void unplug(DeviceId id);
void set_faults(DeviceId id, TransferFaults faults);
// libusb codes for libusb_init and libusb_get_device_list; 0 succeeds.
void fail_init(int code);
void fail_device_list(int code);
// Unplugs everything and forgets faults and records. Objects still open stay
// valid but count as leaks in census().
void reset();

// "init", "exit", "open N", "claim N:I", "release N:I", "close N"; N the device id, I the interface.
std::vector<std::string> events();

struct Transfer {
  DeviceId device;
  bool in;
  unsigned timeout_ms;
  std::size_t requested;
  std::size_t moved;
  int status;
};
std::vector<Transfer> transfers();

struct ControlRequest {
  DeviceId device;
  std::uint8_t request_type;
  std::uint8_t request;
  std::uint16_t value;
  std::uint16_t index;
  std::uint16_t length;
  unsigned timeout_ms;
};
std::vector<ControlRequest> control_requests();

// What is alive now, and how often libusb was used wrongly: a context ended
// while its devices or handles live, the default context, a handle closed
// with its interface still claimed, a transfer without a claimed interface,
// a stale or unknown object.
struct Census {
  int contexts = 0;
  int devices = 0;
  int handles = 0;
  int claimed = 0;
  int misuses = 0;
};
Census census();
std::vector<std::string> misuses();

}  // namespace tavik::usb_double
