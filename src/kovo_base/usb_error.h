#pragma once
// The kinds of libusb failure, their texts, and how a failed transfer is seen
// by the connection manager as an I/O error.
#include <cstdint>
#include <string_view>

#include "base/io_error.h"

namespace tavik::kovo_base {

enum class UsbErrorKind : std::uint8_t {
  Io,
  InvalidParam,
  Access,
  NoDevice,
  NotFound,
  Busy,
  Timeout,
  Overflow,
  Pipe,
  Interrupted,
  NoMem,
  NotSupported,
  BadDescriptor,
  Other,
};

// Kind of a negative libusb return code; codes outside -1..-12 are Other.
UsbErrorKind usb_error_from_code(int code);
std::string_view usb_error_name(UsbErrorKind kind);
std::string_view usb_error_text(UsbErrorKind kind);
IoKind io_kind_of(UsbErrorKind kind);
// The I/O error a failed bulk transfer becomes: the mapped kind, the USB text.
IoError usb_transfer_io_error(UsbErrorKind kind);

}  // namespace tavik::kovo_base
