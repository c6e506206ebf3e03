#include "base/io_error.h"

#include "base/debug_text.h"

#include <cerrno>
#include <cstring>

#include <fmt/format.h>

namespace tavik::kovo_base {

std::string_view io_kind_name(IoKind kind) {
  switch (kind) {
    case IoKind::NotFound: return "NotFound";
    case IoKind::PermissionDenied: return "PermissionDenied";
    case IoKind::ConnectionRefused: return "ConnectionRefused";
    case IoKind::ConnectionReset: return "ConnectionReset";
    case IoKind::ConnectionAborted: return "ConnectionAborted";
    case IoKind::NotConnected: return "NotConnected";
    case IoKind::AddrInUse: return "AddrInUse";
    case IoKind::AddrNotAvailable: return "AddrNotAvailable";
    case IoKind::BrokenPipe: return "BrokenPipe";
    case IoKind::AlreadyExists: return "AlreadyExists";
    case IoKind::WouldBlock: return "WouldBlock";
    case IoKind::InvalidInput: return "InvalidInput";
    case IoKind::InvalidData: return "InvalidData";
    case IoKind::TimedOut: return "TimedOut";
    case IoKind::WriteZero: return "WriteZero";
    case IoKind::Interrupted: return "Interrupted";
    case IoKind::UnexpectedEof: return "UnexpectedEof";
    case IoKind::Other: return "Other";
  }
  return "Other";
}

namespace {

IoKind kind_of_errno(int code) {
  switch (code) {
    case ENOENT: return IoKind::NotFound;
    case EACCES:
    case EPERM: return IoKind::PermissionDenied;
    case ECONNREFUSED: return IoKind::ConnectionRefused;
    case ECONNRESET: return IoKind::ConnectionReset;
    case ECONNABORTED: return IoKind::ConnectionAborted;
    case ENOTCONN: return IoKind::NotConnected;
    case EADDRINUSE: return IoKind::AddrInUse;
    case EADDRNOTAVAIL: return IoKind::AddrNotAvailable;
    case EPIPE: return IoKind::BrokenPipe;
    case EEXIST: return IoKind::AlreadyExists;
    case EAGAIN: return IoKind::WouldBlock;
    case EINVAL: return IoKind::InvalidInput;
    case ETIMEDOUT: return IoKind::TimedOut;
    case EINTR: return IoKind::Interrupted;
    default: return IoKind::Other;
  }
}


}  // namespace

IoError IoError::custom(IoKind kind, std::string message) { return IoError{kind, std::move(message), std::nullopt}; }

IoError IoError::from_errno(int code) {
  char buffer[256] = {};
#ifdef _WIN32
  strerror_s(buffer, sizeof buffer, code);
  const char* text = buffer;
#else
  // GNU strerror_r may return a static string instead of filling the buffer.
  const char* text = strerror_r(code, buffer, sizeof buffer);
#endif
  return IoError{kind_of_errno(code), text ? text : "unknown error", code};
}

std::string IoError::display() const {
  if (os_code) return fmt::format("{} (os error {})", message, *os_code);
  return message;
}

std::string IoError::debug() const {
  if (os_code) {
    return fmt::format("Os {{ code: {}, kind: {}, message: {} }}", *os_code, io_kind_name(kind), debug_quoted(message));
  }
  return fmt::format("Custom {{ kind: {}, error: {} }}", io_kind_name(kind), debug_quoted(message));
}

}  // namespace tavik::kovo_base
