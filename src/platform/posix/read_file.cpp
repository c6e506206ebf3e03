#include "platform/read_file.h"

#include <cerrno>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavik::platform {

namespace {

using kovo_base::IoError;

class Descriptor {
 public:
  explicit Descriptor(int fd) : fd_(fd) {}
  ~Descriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

}  // namespace

std::expected<std::string, IoError> read_whole_file(const std::filesystem::path& path) {
  // Non-blocking open so that a FIFO without a writer cannot hold us here.
  Descriptor file(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (file.get() < 0) return std::unexpected(IoError::from_errno(errno));

  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return std::unexpected(IoError::from_errno(errno));
  if (S_ISDIR(info.st_mode)) return std::unexpected(IoError::from_errno(EISDIR));
  if (!S_ISREG(info.st_mode)) {
    return std::unexpected(IoError::custom(kovo_base::IoKind::InvalidInput, "not a regular file"));
  }

  std::string bytes;
  bytes.reserve(static_cast<std::size_t>(info.st_size));
  char buffer[8192];
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer, sizeof buffer);
    if (got == 0) break;
    if (got < 0) {
      if (errno == EINTR) continue;
      return std::unexpected(IoError::from_errno(errno));
    }
    bytes.append(buffer, static_cast<std::size_t>(got));
  }
  return bytes;
}

std::expected<std::filesystem::path, IoError> current_directory() {
  std::vector<char> buffer(256);
  for (;;) {
    if (::getcwd(buffer.data(), buffer.size()) != nullptr) return std::filesystem::path(buffer.data());
    if (errno != ERANGE || buffer.size() >= (1u << 20)) return std::unexpected(IoError::from_errno(errno));
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace tavik::platform
