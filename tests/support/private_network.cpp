#include "private_network.h"

#include <net/if.h>
#include <sched.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

namespace tavik::testing {

namespace {
bool entered = false;

bool bring_loopback_up() {
  const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
  if (fd < 0) return false;
  ifreq request{};
  std::strncpy(request.ifr_name, "lo", IFNAMSIZ - 1);
  bool ok = ::ioctl(fd, SIOCGIFFLAGS, &request) == 0;
  if (ok) {
    request.ifr_flags |= IFF_UP | IFF_RUNNING;
    ok = ::ioctl(fd, SIOCSIFFLAGS, &request) == 0;
  }
  ::close(fd);
  return ok;
}
}  // namespace

bool enter_private_network() {
  if (entered) return true;
  if (::unshare(CLONE_NEWNET) != 0) return false;
  entered = bring_loopback_up();
  return entered;
}

bool in_private_network() { return entered; }

bool skipping_is_failure() {
  const char* ci = std::getenv("CI");
  return ci != nullptr && *ci != '\0';
}

}  // namespace tavik::testing
