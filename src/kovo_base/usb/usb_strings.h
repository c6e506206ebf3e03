#pragma once
// String descriptors read by control transfer. Every failure gives no text:
// a missing or unreadable string is never an error.
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

struct libusb_device_handle;

namespace tavik::kovo_base::usb {

enum class UsbString : std::uint8_t { Product, SerialNumber };

// Each string descriptor request waits at most this long.
inline constexpr unsigned string_descriptor_timeout_ms = 100;

// The payload of a string descriptor reply: valid only when its length is
// even, at least 2 and equal to the first byte; the payload follows the first
// two bytes.
std::optional<std::span<const std::uint8_t>> string_descriptor_payload(std::span<const std::uint8_t> reply);
// The language ids of descriptor 0 (16-bit little-endian values).
std::vector<std::uint16_t> language_ids(std::span<const std::uint8_t> payload);
// UTF-16LE to UTF-8; none for unpaired surrogates.
std::optional<std::string> decode_utf16le(std::span<const std::uint8_t> payload);

// The device's product or serial-number string in its first language.
std::optional<std::string> read_usb_string(libusb_device_handle* handle, UsbString which);

}  // namespace tavik::kovo_base::usb
