// The parts of the file layer that are the same on every system; opening,
// writing and closing are in posix/ and win32/.
#include "platform/files.h"

#include <utility>

namespace tavik::platform {

AppendFile::~AppendFile() { close(); }

AppendFile::AppendFile(AppendFile&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}

AppendFile& AppendFile::operator=(AppendFile&& other) noexcept {
  if (this != &other) {
    close();
    descriptor_ = std::exchange(other.descriptor_, -1);
  }
  return *this;
}

}  // namespace tavik::platform
