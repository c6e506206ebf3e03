#include "platform/console.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include <unistd.h>

namespace tavik::platform {

bool stderr_is_console() { return ::isatty(STDERR_FILENO) == 1; }

bool stderr_supports_colour() {
  // Terminals that cannot show escapes announce themselves as "dumb".
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

bool write_to_stderr(std::string_view text) {
  while (!text.empty()) {
    const ssize_t written = ::write(STDERR_FILENO, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

}  // namespace tavik::platform
