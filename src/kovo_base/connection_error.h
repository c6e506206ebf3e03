#pragma once
// The library's one error type. Every layer outside the frame codec reports
// through it; the exported layer turns it into result texts.
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

#include "base/io_error.h"
#include "base/utf8_check.h"
#include "kovo_base/usb_error.h"

namespace tavik::kovo_base {

class ConnectionError {
 public:
  enum class Kind : std::uint8_t {
    DeviceNotFound,
    Connection,
    Protocol,
    InvalidNullPointer,
    IpParse,
    Rusb,
    Tcp,
    Utf8,
    IniParse,
    Io,
  };

  static ConnectionError device_not_found() { return ConnectionError(Kind::DeviceNotFound, {}); }
  static ConnectionError connection() { return ConnectionError(Kind::Connection, {}); }
  static ConnectionError protocol() { return ConnectionError(Kind::Protocol, {}); }
  static ConnectionError invalid_null_pointer() { return ConnectionError(Kind::InvalidNullPointer, {}); }
  // text: the parse error's own text, shown as display.
  static ConnectionError ip_parse(std::string text) { return ConnectionError(Kind::IpParse, Text{std::move(text)}); }
  static ConnectionError rusb(UsbErrorKind kind) { return ConnectionError(Kind::Rusb, kind); }
  // text: the TLS library's description of the failure.
  static ConnectionError tcp(std::string text) { return ConnectionError(Kind::Tcp, Text{std::move(text)}); }
  static ConnectionError utf8(Utf8Error error) { return ConnectionError(Kind::Utf8, error); }
  // debug: the INI error's debug rendering, which is also its display text.
  static ConnectionError ini_parse(std::string debug) { return ConnectionError(Kind::IniParse, Text{std::move(debug)}); }
  static ConnectionError io(IoError error) { return ConnectionError(Kind::Io, std::move(error)); }

  Kind kind() const { return kind_; }
  const IoError* io_error() const { return std::get_if<IoError>(&payload_); }
  std::optional<UsbErrorKind> usb_kind() const;

  std::string display() const;
  std::string debug() const;

  friend bool operator==(const ConnectionError& a, const ConnectionError& b) { return a.debug() == b.debug(); }

 private:
  struct Text {
    std::string value;
  };
  using Payload = std::variant<std::monostate, Text, UsbErrorKind, Utf8Error, IoError>;
  ConnectionError(Kind kind, Payload payload) : kind_(kind), payload_(std::move(payload)) {}

  Kind kind_;
  Payload payload_;
};

std::string_view kind_name(ConnectionError::Kind kind);

template <class T>
using Result = std::expected<T, ConnectionError>;

}  // namespace tavik::kovo_base
