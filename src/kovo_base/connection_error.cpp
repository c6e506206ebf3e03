#include "kovo_base/connection_error.h"

#include "base/debug_text.h"

#include <fmt/format.h>

namespace tavik::kovo_base {

std::string_view kind_name(ConnectionError::Kind kind) {
  using K = ConnectionError::Kind;
  switch (kind) {
    case K::DeviceNotFound: return "DeviceNotFound";
    case K::Connection: return "Connection";
    case K::Protocol: return "Protocol";
    case K::InvalidNullPointer: return "InvalidNullPointer";
    case K::IpParse: return "IpParse";
    case K::Rusb: return "Rusb";
    case K::Tcp: return "Tcp";
    case K::Utf8: return "Utf8";
    case K::IniParse: return "IniParse";
    case K::Io: return "Io";
  }
  return "Io";
}

std::optional<UsbErrorKind> ConnectionError::usb_kind() const {
  if (const auto* kind = std::get_if<UsbErrorKind>(&payload_)) return *kind;
  return std::nullopt;
}

std::string ConnectionError::display() const {
  if (const auto* text = std::get_if<Text>(&payload_)) return text->value;
  if (const auto* usb = std::get_if<UsbErrorKind>(&payload_)) return std::string(usb_error_text(*usb));
  if (const auto* utf8 = std::get_if<Utf8Error>(&payload_)) return utf8->display();
  if (const auto* io = std::get_if<IoError>(&payload_)) return io->display();
  return std::string(kind_name(kind_));
}

std::string ConnectionError::debug() const {
  const std::string_view name = kind_name(kind_);
  switch (kind_) {
    case Kind::IpParse:
      return fmt::format("{}(AddrParseError({}))", name, debug_quoted(std::get<Text>(payload_).value));
    case Kind::Tcp:
      return fmt::format("{}({})", name, debug_quoted(std::get<Text>(payload_).value));
    case Kind::IniParse:
      return fmt::format("{}({})", name, std::get<Text>(payload_).value);
    case Kind::Rusb:
      return fmt::format("{}({})", name, usb_error_name(std::get<UsbErrorKind>(payload_)));
    case Kind::Utf8:
      return fmt::format("{}({})", name, std::get<Utf8Error>(payload_).debug());
    case Kind::Io:
      return fmt::format("{}({})", name, std::get<IoError>(payload_).debug());
    default:
      return std::string(name);
  }
}

}  // namespace tavik::kovo_base
