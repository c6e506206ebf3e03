#include "platform/socket_wake.h"

#include <winsock2.h>
#include <windows.h>

namespace tavik::platform {

// shutdown alone stops later calls but does not end one already waiting (a
// blocking recv keeps waiting for the peer); cancelling the socket handle's
// pending I/O does, for every thread. The handle itself stays open for its
// owner to close, so its number is never reused under that owner.
void shut_down_both_ways(int native) noexcept {
  const auto socket = static_cast<SOCKET>(native);
  ::shutdown(socket, SD_BOTH);
  CancelIoEx(reinterpret_cast<HANDLE>(socket), nullptr);
}

}  // namespace tavik::platform
