#include "platform/socket_wake.h"

#include <winsock2.h>

namespace tavik::platform {

// Blocked calls on the socket fail; the handle itself stays open for its
// owner to close.
void shut_down_both_ways(int native) noexcept { ::shutdown(static_cast<SOCKET>(native), SD_BOTH); }

}  // namespace tavik::platform
