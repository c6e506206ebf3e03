// Device and string descriptors of the plugged devices.
#include <algorithm>

#include "usb_double/double_state.h"

namespace tavik::usb_double::detail {
namespace {

constexpr std::uint8_t product_index = 1;
constexpr std::uint8_t serial_index = 2;

// UTF-8 to UTF-16LE code units; the test texts are valid UTF-8.
Bytes utf16le(const std::string& text) {
  Bytes out;
  auto unit = [&](std::uint32_t u) {
    out.push_back(static_cast<std::uint8_t>(u & 0xFF));
    out.push_back(static_cast<std::uint8_t>(u >> 8));
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const int extra = c < 0x80 ? 0 : c < 0xE0 ? 1 : c < 0xF0 ? 2 : 3;
    std::uint32_t code = extra == 0 ? c : c & (0x3F >> extra);
    for (int k = 1; k <= extra && i + static_cast<std::size_t>(k) < text.size(); ++k) {
      code = (code << 6) | (static_cast<unsigned char>(text[i + static_cast<std::size_t>(k)]) & 0x3F);
    }
    i += static_cast<std::size_t>(extra) + 1;
    if (code >= 0x10000) {
      code -= 0x10000;
      unit(0xD800 + (code >> 10));
      unit(0xDC00 + (code & 0x3FF));
    } else {
      unit(code);
    }
  }
  return out;
}

Bytes string_descriptor(const Bytes& payload) {
  // Sized up front: growing a two-byte vector trips a false -Warray-bounds of g++ 12 at -O2.
  Bytes out(payload.size() + 2);
  out[0] = static_cast<std::uint8_t>(payload.size() + 2);
  out[1] = LIBUSB_DT_STRING;
  std::copy(payload.begin(), payload.end(), out.begin() + 2);
  return out;
}

}  // namespace

libusb_device_descriptor device_descriptor(const DeviceSpec& setup) {
  libusb_device_descriptor d{};
  d.bLength = LIBUSB_DT_DEVICE_SIZE;
  d.bDescriptorType = LIBUSB_DT_DEVICE;
  d.bcdUSB = 0x0200;
  d.bMaxPacketSize0 = 64;
  d.idVendor = setup.vendor_id;
  d.idProduct = setup.product_id;
  d.iProduct = setup.product || setup.raw_strings.contains(product_index) ? product_index : 0;
  d.iSerialNumber = setup.serial || setup.raw_strings.contains(serial_index) ? serial_index : 0;
  d.bNumConfigurations = 1;
  return d;
}

std::optional<Bytes> string_reply(const DeviceSpec& setup, std::uint8_t index) {
  if (auto raw = setup.raw_strings.find(index); raw != setup.raw_strings.end()) return raw->second;
  if (index == 0) return string_descriptor({0x09, 0x04});  // English (United States)
  if (index == product_index && setup.product) return string_descriptor(utf16le(*setup.product));
  if (index == serial_index && setup.serial) return string_descriptor(utf16le(*setup.serial));
  return std::nullopt;
}

}  // namespace tavik::usb_double::detail
