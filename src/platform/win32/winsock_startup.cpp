#include "platform/win32/winsock_startup.h"

#include <winsock2.h>

namespace tavik::platform::win32 {

bool ensure_winsock() {
  static const bool started = [] {
    WSADATA data{};
    return WSAStartup(MAKEWORD(2, 2), &data) == 0;
  }();
  return started;
}

}  // namespace tavik::platform::win32
