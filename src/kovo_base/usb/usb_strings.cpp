#include "kovo_base/usb/usb_strings.h"

#include <array>

#include <libusb.h>

namespace tavik::kovo_base::usb {
namespace {

constexpr std::size_t reply_capacity = 255;

void append_utf8(std::string& out, char32_t code) {
  if (code < 0x80) {
    out += static_cast<char>(code);
  } else if (code < 0x800) {
    out += static_cast<char>(0xC0 | (code >> 6));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    out += static_cast<char>(0xE0 | (code >> 12));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (code >> 18));
    out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

// GET_DESCRIPTOR for string descriptor `index` in `language`; the payload
// after the two-byte header when the reply is valid.
std::optional<std::vector<std::uint8_t>> get_string_descriptor(libusb_device_handle* handle, std::uint8_t index,
                                                               std::uint16_t language) {
  std::array<std::uint8_t, reply_capacity> reply{};
  const int got = libusb_control_transfer(handle, LIBUSB_ENDPOINT_IN, LIBUSB_REQUEST_GET_DESCRIPTOR,
                                          static_cast<std::uint16_t>((LIBUSB_DT_STRING << 8) | index), language,
                                          reply.data(), reply.size(), string_descriptor_timeout_ms);
  if (got < 0) return std::nullopt;
  const auto payload =
      string_descriptor_payload(std::span<const std::uint8_t>(reply.data(), static_cast<std::size_t>(got)));
  if (!payload) return std::nullopt;
  return std::vector<std::uint8_t>(payload->begin(), payload->end());
}

}  // namespace

std::optional<std::span<const std::uint8_t>> string_descriptor_payload(std::span<const std::uint8_t> reply) {
  if (reply.size() < 2 || reply.size() % 2 != 0 || static_cast<std::size_t>(reply[0]) != reply.size()) return std::nullopt;
  return reply.subspan(2);
}

std::vector<std::uint16_t> language_ids(std::span<const std::uint8_t> payload) {
  std::vector<std::uint16_t> ids;
  for (std::size_t i = 0; i + 1 < payload.size(); i += 2) {
    ids.push_back(static_cast<std::uint16_t>(payload[i] | (payload[i + 1] << 8)));
  }
  return ids;
}

std::optional<std::string> decode_utf16le(std::span<const std::uint8_t> payload) {
  if (payload.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < payload.size(); i += 2) {
    const char32_t unit = payload[i] | (payload[i + 1] << 8);
    if (unit >= 0xDC00 && unit <= 0xDFFF) return std::nullopt;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      if (i + 3 >= payload.size()) return std::nullopt;
      const char32_t low = payload[i + 2] | (payload[i + 3] << 8);
      if (low < 0xDC00 || low > 0xDFFF) return std::nullopt;
      append_utf8(out, 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00));
      i += 2;
      continue;
    }
    append_utf8(out, unit);
  }
  return out;
}

std::optional<std::string> read_usb_string(libusb_device_handle* handle, UsbString which) {
  libusb_device_descriptor descriptor{};
  if (libusb_get_device_descriptor(libusb_get_device(handle), &descriptor) != 0) return std::nullopt;
  const auto languages = get_string_descriptor(handle, 0, 0);
  if (!languages) return std::nullopt;
  const auto ids = language_ids(*languages);
  if (ids.empty()) return std::nullopt;
  const std::uint8_t index = which == UsbString::Product ? descriptor.iProduct : descriptor.iSerialNumber;
  if (index == 0) return std::nullopt;
  const auto text = get_string_descriptor(handle, index, ids.front());
  if (!text) return std::nullopt;
  return decode_utf16le(*text);
}

}  // namespace tavik::kovo_base::usb
