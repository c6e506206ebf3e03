#include "platform/env.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

namespace tavik::platform {

std::optional<std::string> read_env_unicode(const char* name) {
  if (name == nullptr) return std::nullopt;
  const auto wide_name = win32::to_wide(name);
  if (!wide_name) return std::nullopt;
  // The process environment is UTF-16; the narrow CRT copy would be in the
  // ANSI code page and lose characters.
  std::wstring value(64, L'\0');
  for (;;) {
    SetLastError(ERROR_SUCCESS);
    const DWORD length = GetEnvironmentVariableW(wide_name->c_str(), value.data(), static_cast<DWORD>(value.size()));
    if (length == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();  // set, but empty
    }
    if (length < value.size()) {
      value.resize(length);
      return win32::to_utf8(value);
    }
    value.resize(length);  // length counts the terminating NUL here
  }
}

}  // namespace tavik::platform
