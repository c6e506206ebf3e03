#include "platform/files.h"

#include <cerrno>
#include <utility>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tavik::platform {

namespace {

bool is_directory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool make_one_directory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) == 0) return true;
  // Someone else (or an earlier run) may have made it: only a directory will do.
  return errno == EEXIST && is_directory(path);
}

}  // namespace

bool create_directories(std::string_view path) {
  if (path.empty() || is_directory(std::string(path))) return true;
  // Make each prefix that ends before a separator, then the whole path.
  for (std::size_t i = 1; i < path.size(); ++i) {
    if (path[i] != '/' || path[i - 1] == '/') continue;
    if (!make_one_directory(std::string(path.substr(0, i)))) return false;
  }
  return make_one_directory(std::string(path));
}

std::string parent_directory(std::string_view path) {
  const std::size_t slash = path.find_last_of('/');
  if (slash == std::string_view::npos) return {};
  std::string_view parent = path.substr(0, slash);
  while (!parent.empty() && parent.back() == '/') parent.remove_suffix(1);
  // A file right under the root keeps the root as its directory.
  if (parent.empty()) return "/";
  return std::string(parent);
}

AppendFile AppendFile::open(const std::string& path) {
  int descriptor;
  do {
    descriptor = ::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
  } while (descriptor < 0 && errno == EINTR);
  return AppendFile(descriptor);
}

bool AppendFile::write(std::string_view text) {
  if (!is_open()) return false;
  while (!text.empty()) {
    const ssize_t written = ::write(descriptor_, text.data(), text.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    text.remove_prefix(static_cast<std::size_t>(written));
  }
  return true;
}

void AppendFile::close() {
  if (descriptor_ >= 0) ::close(std::exchange(descriptor_, -1));
}

}  // namespace tavik::platform
