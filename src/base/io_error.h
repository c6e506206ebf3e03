#pragma once
// An operating-system or transport I/O failure: its kind decides how callers
// react (a time-out, a broken pipe), its text is what the log shows.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tavik::kovo_base {

enum class IoKind : std::uint8_t {
  NotFound,
  PermissionDenied,
  ConnectionRefused,
  ConnectionReset,
  ConnectionAborted,
  NotConnected,
  AddrInUse,
  AddrNotAvailable,
  BrokenPipe,
  AlreadyExists,
  WouldBlock,
  InvalidInput,
  InvalidData,
  TimedOut,
  WriteZero,
  Interrupted,
  UnexpectedEof,
  Other,
};

std::string_view io_kind_name(IoKind kind);

struct IoError {
  IoKind kind = IoKind::Other;
  std::string message;
  std::optional<int> os_code;  // set when the error came from the OS (errno)

  static IoError custom(IoKind kind, std::string message);
  static IoError from_errno(int code);

  // Display text: the message alone, or for OS errors "msg (os error N)".
  std::string display() const;
  // Debug rendering: Os { code: 111, kind: ConnectionRefused, message: "..." }
  // or Custom { kind: TimedOut, error: "..." }.
  std::string debug() const;
};

}  // namespace tavik::kovo_base
