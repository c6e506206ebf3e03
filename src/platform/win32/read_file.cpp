#include "platform/read_file.h"

#include <windows.h>

#include "platform/win32/windows_error.h"

namespace tavik::platform {

namespace {

using kovo_base::IoError;

class OwnedHandle {
 public:
  explicit OwnedHandle(HANDLE handle) : handle_(handle) {}
  ~OwnedHandle() {
    if (valid()) CloseHandle(handle_);
  }
  OwnedHandle(const OwnedHandle&) = delete;
  OwnedHandle& operator=(const OwnedHandle&) = delete;
  bool valid() const { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_;
};

}  // namespace

std::expected<std::string, IoError> read_whole_file(const std::filesystem::path& path) {
  // A directory cannot be opened this way (no backup semantics): the system
  // answers with access denied, which is what the caller gets.
  OwnedHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                               nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file.valid()) return std::unexpected(win32::last_windows_error());
  // Pipes, consoles and devices could block or never end.
  if (GetFileType(file.get()) != FILE_TYPE_DISK) {
    return std::unexpected(IoError::custom(kovo_base::IoKind::InvalidInput, "not a regular file"));
  }

  std::string bytes;
  LARGE_INTEGER size{};
  if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) bytes.reserve(static_cast<std::size_t>(size.QuadPart));
  char buffer[8192];
  for (;;) {
    DWORD got = 0;
    if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) {
      return std::unexpected(win32::last_windows_error());
    }
    if (got == 0) break;
    bytes.append(buffer, got);
  }
  return bytes;
}

std::expected<std::filesystem::path, IoError> current_directory() {
  std::wstring buffer(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetCurrentDirectoryW(static_cast<DWORD>(buffer.size()), buffer.data());
    if (length == 0) return std::unexpected(win32::last_windows_error());
    if (length < buffer.size()) {
      buffer.resize(length);
      return std::filesystem::path(buffer);
    }
    buffer.resize(length);  // the length asked for includes the NUL
  }
}

}  // namespace tavik::platform
