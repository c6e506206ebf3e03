// The parts of the socket layer that are the same on every system; the
// system calls themselves are in posix/ and win32/.
#include "platform/sockets.h"

#include <fmt/format.h>

namespace tavik::platform {

std::string SocketAddressV4::ip_text() const { return fmt::format("{}.{}.{}.{}", ip[0], ip[1], ip[2], ip[3]); }

std::string SocketAddressV4::text() const { return fmt::format("{}:{}", ip_text(), port); }

Socket& Socket::operator=(Socket&& other) noexcept {
  if (this != &other) {
    close();
    native_ = other.release();
  }
  return *this;
}

Socket::~Socket() { close(); }

int Socket::release() {
  const int native = native_;
  native_ = -1;
  return native;
}

}  // namespace tavik::platform
