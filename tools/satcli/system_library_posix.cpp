#include "system_library.h"

#include <dlfcn.h>

#include <filesystem>
#include <system_error>

namespace satcli {

namespace {

OpenedLibrary open(const char* path) {
  OpenedLibrary opened{dlopen(path, RTLD_NOW | RTLD_LOCAL), {}};
  if (opened.handle == nullptr) {
    const char* reason = dlerror();
    opened.error = reason ? reason : "unknown error";
  }
  return opened;
}

}  // namespace

OpenedLibrary open_library_at(const std::string& path) { return open(path.c_str()); }

std::optional<OpenedLibrary> open_library_beside_executable(const char* file_name) {
  std::error_code error;
  const std::filesystem::path executable = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  const std::filesystem::path beside = executable.parent_path() / file_name;
  if (!std::filesystem::is_regular_file(beside, error)) return std::nullopt;
  return open(beside.c_str());
}

OpenedLibrary open_library_by_name(const char* file_name) { return open(file_name); }

void* find_library_symbol(void* handle, const char* name) { return dlsym(handle, name); }

}  // namespace satcli
