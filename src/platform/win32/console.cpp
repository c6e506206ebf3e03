#include "platform/console.h"

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

#include "platform/win32/wide_text.h"

namespace tavik::platform {

namespace {

HANDLE stderr_handle() { return GetStdHandle(STD_ERROR_HANDLE); }

bool is_console(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR &&
         GetConsoleMode(handle, &mode) != 0;
}

// MSYS and Cygwin terminals (mintty and the like) hand programs named pipes
// called \msys-<hex>-pty<N>-to-master or \cygwin-<hex>-pty<N>-from-master.
bool is_msys_or_cygwin_pty(HANDLE handle) {
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE || GetFileType(handle) != FILE_TYPE_PIPE) return false;
  constexpr DWORD name_room = MAX_PATH * sizeof(wchar_t);
  alignas(FILE_NAME_INFO) unsigned char storage[sizeof(FILE_NAME_INFO) + name_room]{};
  auto* info = reinterpret_cast<FILE_NAME_INFO*>(storage);
  if (!GetFileInformationByHandleEx(handle, FileNameInfo, info, sizeof storage)) return false;
  const std::wstring name(info->FileName, info->FileNameLength / sizeof(wchar_t));
  const bool known_prefix = name.starts_with(L"\\msys-") || name.starts_with(L"\\cygwin-");
  const bool pty = name.find(L"-pty") != std::wstring::npos;
  const bool master = name.find(L"-to-master") != std::wstring::npos || name.find(L"-from-master") != std::wstring::npos;
  return known_prefix && pty && master;
}

bool any_standard_stream_is_console() {
  return is_console(GetStdHandle(STD_INPUT_HANDLE)) || is_console(GetStdHandle(STD_OUTPUT_HANDLE)) ||
         is_console(stderr_handle());
}

bool write_all(HANDLE handle, std::string_view text) {
  while (!text.empty()) {
    DWORD written = 0;
    const DWORD chunk = text.size() > 0x10000 ? 0x10000 : static_cast<DWORD>(text.size());
    if (!WriteFile(handle, text.data(), chunk, &written, nullptr) || written == 0) return false;
    text.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool stderr_is_console() {
  const HANDLE handle = stderr_handle();
  if (is_console(handle)) return true;
  return !any_standard_stream_is_console() && is_msys_or_cygwin_pty(handle);
}

bool stderr_supports_colour() {
  const HANDLE handle = stderr_handle();
  if (is_console(handle)) {
    // Windows 10 and later render escapes once asked to; older consoles refuse.
    DWORD mode = 0;
    if (!GetConsoleMode(handle, &mode)) return false;
    if (mode & ENABLE_VIRTUAL_TERMINAL_PROCESSING) return true;
    return SetConsoleMode(handle, mode | ENABLE_VIRTUAL_TERMINAL_PROCESSING) != 0;
  }
  // A pseudo-terminal: its emulator renders escapes unless it says it is dumb.
  const char* term = std::getenv("TERM");
  return term == nullptr || std::strcmp(term, "dumb") != 0;
}

bool write_to_stderr(std::string_view text) {
  const HANDLE handle = stderr_handle();
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  if (is_console(handle)) {
    // The console's code page need not be UTF-8: hand it UTF-16.
    if (const auto wide = win32::to_wide(text)) {
      std::wstring_view rest = *wide;
      while (!rest.empty()) {
        DWORD written = 0;
        const DWORD chunk = rest.size() > 0x4000 ? 0x4000 : static_cast<DWORD>(rest.size());
        if (!WriteConsoleW(handle, rest.data(), chunk, &written, nullptr) || written == 0) return false;
        rest.remove_prefix(written);
      }
      return true;
    }
  }
  return write_all(handle, text);
}

}  // namespace tavik::platform
