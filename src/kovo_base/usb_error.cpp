#include "kovo_base/usb_error.h"

#include <array>
#include <string>

namespace tavik::kovo_base {

namespace {

struct UsbKindRow {
  UsbErrorKind kind;
  std::string_view name;
  std::string_view text;
  IoKind io_kind;
};

// One row per kind, in declaration order; libusb codes -1..-12 are rows 0..11.
constexpr std::array<UsbKindRow, 14> rows{{
    {UsbErrorKind::Io, "Io", "Input/Output Error", IoKind::BrokenPipe},
    {UsbErrorKind::InvalidParam, "InvalidParam", "Invalid parameter", IoKind::Other},
    {UsbErrorKind::Access, "Access", "Access denied (insufficient permissions)", IoKind::Other},
    {UsbErrorKind::NoDevice, "NoDevice", "No such device (it may have been disconnected)", IoKind::BrokenPipe},
    {UsbErrorKind::NotFound, "NotFound", "Entity not found", IoKind::BrokenPipe},
    {UsbErrorKind::Busy, "Busy", "Resource busy", IoKind::Other},
    {UsbErrorKind::Timeout, "Timeout", "Operation timed out", IoKind::TimedOut},
    {UsbErrorKind::Overflow, "Overflow", "Overflow", IoKind::Other},
    {UsbErrorKind::Pipe, "Pipe", "Pipe error", IoKind::BrokenPipe},
    {UsbErrorKind::Interrupted, "Interrupted", "System call interrupted (perhaps due to signal)", IoKind::Other},
    {UsbErrorKind::NoMem, "NoMem", "Insufficient memory", IoKind::Other},
    {UsbErrorKind::NotSupported, "NotSupported", "Operation not supported or unimplemented on this platform",
     IoKind::Other},
    {UsbErrorKind::BadDescriptor, "BadDescriptor", "Malformed descriptor", IoKind::Other},
    {UsbErrorKind::Other, "Other", "Other error", IoKind::Other},
}};

const UsbKindRow& row_of(UsbErrorKind kind) { return rows[static_cast<std::size_t>(kind)]; }

}  // namespace

UsbErrorKind usb_error_from_code(int code) {
  if (code >= -12 && code <= -1) return rows[static_cast<std::size_t>(-code - 1)].kind;
  return UsbErrorKind::Other;
}

std::string_view usb_error_name(UsbErrorKind kind) { return row_of(kind).name; }
std::string_view usb_error_text(UsbErrorKind kind) { return row_of(kind).text; }
IoKind io_kind_of(UsbErrorKind kind) { return row_of(kind).io_kind; }

IoError usb_transfer_io_error(UsbErrorKind kind) {
  return IoError::custom(io_kind_of(kind), std::string(usb_error_text(kind)));
}

}  // namespace tavik::kovo_base
