#pragma once
// Windows and Winsock error codes as the I/O kinds the connection layer
// reacts to, with the system's own message text.
#include <cstdint>

#include "base/io_error.h"

namespace tavik::platform::win32 {

// A code from GetLastError().
kovo_base::IoError io_error_from_windows(std::uint32_t code);
// A code from WSAGetLastError(); a receive time-out (WSAETIMEDOUT) is
// WouldBlock, as on other systems.
kovo_base::IoError io_error_from_wsa(int code);

kovo_base::IoError last_windows_error();
kovo_base::IoError last_wsa_error();

}  // namespace tavik::platform::win32
