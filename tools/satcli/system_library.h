#pragma once
// The operating system's library loader, behind one interface: dlopen on
// POSIX (system_library_posix.cpp), LoadLibrary on Windows
// (system_library_win32.cpp).
#include <optional>
#include <string>

namespace satcli {

struct OpenedLibrary {
  void* handle = nullptr;  // null when the load failed
  std::string error;       // the loader's reason when it failed
};

// The library at a path the user gave, loaded as the system loads that text.
OpenedLibrary open_library_at(const std::string& path);

// file_name from the directory of this program's own executable; nothing
// when that directory holds no such file (or cannot be determined).
std::optional<OpenedLibrary> open_library_beside_executable(const char* file_name);

// file_name through the system's library search.
OpenedLibrary open_library_by_name(const char* file_name);

void* find_library_symbol(void* handle, const char* name);

}  // namespace satcli
