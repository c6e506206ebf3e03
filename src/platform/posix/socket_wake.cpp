#include "platform/socket_wake.h"

#include <sys/socket.h>

namespace tavik::platform {

// A receive blocked on the socket returns 0, a blocked send fails with EPIPE;
// the descriptor itself stays open for its owner to close.
void shut_down_both_ways(int native) noexcept { ::shutdown(native, SHUT_RDWR); }

}  // namespace tavik::platform
