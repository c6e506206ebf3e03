#include "system_library.h"

#include <windows.h>

#include <string>

namespace satcli {

namespace {

// The longest path Windows hands out (with the \\?\ prefix).
constexpr DWORD longest_windows_path = 32768;

std::string windows_error_text(DWORD code) { return "error " + std::to_string(code); }

OpenedLibrary opened_or_error(HMODULE module) {
  OpenedLibrary opened{reinterpret_cast<void*>(module), {}};
  if (module == nullptr) opened.error = windows_error_text(GetLastError());
  return opened;
}

// The directory of this program's executable with a trailing separator;
// empty when it cannot be read.
std::wstring executable_directory() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    if (path.size() >= longest_windows_path) return {};
    path.resize(path.size() * 2);
  }
  const std::size_t separator = path.find_last_of(L"\\/");
  return separator == std::wstring::npos ? std::wstring() : path.substr(0, separator + 1);
}

std::wstring widened(const char* ascii_name) {
  std::wstring wide;
  for (const char* c = ascii_name; *c != '\0'; ++c) wide += static_cast<wchar_t>(static_cast<unsigned char>(*c));
  return wide;
}

}  // namespace

OpenedLibrary open_library_at(const std::string& path) { return opened_or_error(LoadLibraryA(path.c_str())); }

std::optional<OpenedLibrary> open_library_beside_executable(const char* file_name) {
  const std::wstring directory = executable_directory();
  if (directory.empty()) return std::nullopt;
  const std::wstring beside = directory + widened(file_name);
  const DWORD attributes = GetFileAttributesW(beside.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return std::nullopt;
  // Its own dependencies (libusb-1.0.dll) are then looked for in its directory first.
  return opened_or_error(LoadLibraryExW(beside.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH));
}

OpenedLibrary open_library_by_name(const char* file_name) {
  return opened_or_error(LoadLibraryW(widened(file_name).c_str()));
}

void* find_library_symbol(void* handle, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle), name));
}

}  // namespace satcli
