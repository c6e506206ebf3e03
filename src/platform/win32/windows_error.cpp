#include "platform/win32/windows_error.h"

#include <winsock2.h>
#include <windows.h>

#include <string>

#include "platform/win32/wide_text.h"

namespace tavik::platform::win32 {

using kovo_base::IoError;
using kovo_base::IoKind;

namespace {

std::string system_message(std::uint32_t code) {
  wchar_t* buffer = nullptr;
  const DWORD length =
      FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                     nullptr, code, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US), reinterpret_cast<wchar_t*>(&buffer),
                     0, nullptr);
  std::wstring wide;
  if (length > 0 && buffer != nullptr) wide.assign(buffer, length);
  if (buffer != nullptr) LocalFree(buffer);
  // The system's texts end with a full stop and a line break.
  while (!wide.empty() && (wide.back() == L'\n' || wide.back() == L'\r' || wide.back() == L' ' || wide.back() == L'.')) {
    wide.pop_back();
  }
  auto text = to_utf8(wide);
  if (!text || text->empty()) return "Unknown error " + std::to_string(code);
  return *text;
}

IoKind kind_of_windows(std::uint32_t code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return IoKind::NotFound;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION: return IoKind::PermissionDenied;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return IoKind::AlreadyExists;
    case ERROR_BROKEN_PIPE:
    case ERROR_NO_DATA: return IoKind::BrokenPipe;
    case ERROR_INVALID_PARAMETER:
    case ERROR_INVALID_NAME:
    case ERROR_DIRECTORY: return IoKind::InvalidInput;
    case ERROR_TIMEOUT:
    case WAIT_TIMEOUT:
    case ERROR_SEM_TIMEOUT: return IoKind::TimedOut;
    case ERROR_OPERATION_ABORTED: return IoKind::Interrupted;
    case ERROR_HANDLE_EOF: return IoKind::UnexpectedEof;
    default: return IoKind::Other;
  }
}

IoKind kind_of_wsa(int code) {
  switch (code) {
    case WSAEWOULDBLOCK:
    case WSAETIMEDOUT: return IoKind::WouldBlock;
    case WSAECONNREFUSED: return IoKind::ConnectionRefused;
    case WSAECONNRESET: return IoKind::ConnectionReset;
    case WSAECONNABORTED:
    case WSAENETRESET: return IoKind::ConnectionAborted;
    case WSAENOTCONN: return IoKind::NotConnected;
    case WSAEADDRINUSE: return IoKind::AddrInUse;
    case WSAEADDRNOTAVAIL: return IoKind::AddrNotAvailable;
    case WSAESHUTDOWN: return IoKind::BrokenPipe;
    case WSAEACCES: return IoKind::PermissionDenied;
    case WSAEINVAL:
    case WSAEFAULT:
    case WSAENOTSOCK: return IoKind::InvalidInput;
    case WSAEINTR: return IoKind::Interrupted;
    default: return IoKind::Other;
  }
}

}  // namespace

IoError io_error_from_windows(std::uint32_t code) {
  return IoError{kind_of_windows(code), system_message(code), static_cast<int>(code)};
}

IoError io_error_from_wsa(int code) {
  return IoError{kind_of_wsa(code), system_message(static_cast<std::uint32_t>(code)), code};
}

IoError last_windows_error() { return io_error_from_windows(GetLastError()); }

IoError last_wsa_error() { return io_error_from_wsa(WSAGetLastError()); }

}  // namespace tavik::platform::win32
