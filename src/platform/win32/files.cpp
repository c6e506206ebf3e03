#include "platform/files.h"

#include <windows.h>
#include <fcntl.h>
#include <io.h>

#include <utility>

#include "platform/win32/wide_text.h"

namespace tavik::platform {

namespace {

bool is_separator(char c) { return c == '/' || c == '\\'; }

bool is_directory(std::string_view path) {
  const auto wide = win32::to_wide(path);
  if (!wide) return false;
  const DWORD attributes = GetFileAttributesW(wide->c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool make_one_directory(std::string_view path) {
  const auto wide = win32::to_wide(path);
  if (!wide) return false;
  if (CreateDirectoryW(wide->c_str(), nullptr)) return true;
  // Someone else (or an earlier run) may have made it: only a directory will do.
  return is_directory(path);
}

// Where the first component that may need creating starts: after "C:\",
// after "\\server\share\" and after a leading separator.
std::size_t first_creatable(std::string_view path) {
  if (path.size() >= 2 && is_separator(path[0]) && is_separator(path[1])) {
    std::size_t separators = 0;
    for (std::size_t i = 2; i < path.size(); ++i) {
      if (is_separator(path[i]) && ++separators == 2) return i + 1;
    }
    return path.size();
  }
  if (path.size() >= 2 && path[1] == ':') return path.size() >= 3 && is_separator(path[2]) ? 3 : 2;
  return is_separator(path.front()) ? 1 : 0;
}

}  // namespace

bool create_directories(std::string_view path) {
  if (path.empty() || is_directory(path)) return true;
  // Make each prefix that ends before a separator, then the whole path.
  for (std::size_t i = first_creatable(path) + 1; i < path.size(); ++i) {
    if (!is_separator(path[i]) || is_separator(path[i - 1])) continue;
    if (!make_one_directory(path.substr(0, i))) return false;
  }
  return make_one_directory(path);
}

std::string parent_directory(std::string_view path) {
  const std::size_t slash = path.find_last_of("/\\");
  if (slash == std::string_view::npos) {
    // "C:file" lies in the current directory of drive C.
    if (path.size() >= 2 && path[1] == ':') return std::string(path.substr(0, 2));
    return {};
  }
  std::string_view parent = path.substr(0, slash);
  while (!parent.empty() && is_separator(parent.back())) parent.remove_suffix(1);
  // A file right under a root keeps the root as its directory.
  if (parent.empty()) return std::string(1, path[slash]);
  if (parent.size() == 2 && parent[1] == ':') return std::string(path.substr(0, 3));
  return std::string(parent);
}

AppendFile AppendFile::open(const std::string& path) {
  const auto wide = win32::to_wide(path);
  if (!wide) return AppendFile();
  // Append-only access makes every write land at the end, even when other
  // processes write too; the shares let them read, write, rename or delete
  // the file while we hold it.
  const HANDLE handle =
      CreateFileW(wide->c_str(), FILE_APPEND_DATA | SYNCHRONIZE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE) return AppendFile();
  const int descriptor = _open_osfhandle(reinterpret_cast<intptr_t>(handle), _O_APPEND | _O_WRONLY | _O_BINARY);
  if (descriptor < 0) {
    CloseHandle(handle);
    return AppendFile();
  }
  return AppendFile(descriptor);
}

bool AppendFile::write(std::string_view text) {
  if (!is_open()) return false;
  const auto handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor_));
  if (handle == INVALID_HANDLE_VALUE) return false;
  while (!text.empty()) {
    DWORD written = 0;
    const DWORD chunk = text.size() > 0x100000 ? 0x100000 : static_cast<DWORD>(text.size());
    if (!WriteFile(handle, text.data(), chunk, &written, nullptr) || written == 0) return false;
    text.remove_prefix(written);
  }
  return true;
}

void AppendFile::close() {
  if (descriptor_ >= 0) _close(std::exchange(descriptor_, -1));
}

}  // namespace tavik::platform
