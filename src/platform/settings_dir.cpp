// The fixed settings directory: C:/tavik on Windows, /etc/tavik elsewhere,
// unless the build names another one.
#include "platform/settings_dir.h"

#include <mutex>
#include <utility>

namespace tavik::platform {

namespace {

#ifdef TAVIK_SETTINGS_DIR
constexpr const char* kBuiltInDirectory = TAVIK_SETTINGS_DIR;
#elif defined(_WIN32)
constexpr const char* kBuiltInDirectory = "C:/tavik";
#else
constexpr const char* kBuiltInDirectory = "/etc/tavik";
#endif

struct DirectoryOverride {
  std::mutex lock;
  std::optional<std::filesystem::path> directory;
};

DirectoryOverride& directory_override() {
  static DirectoryOverride instance;
  return instance;
}

}  // namespace

std::filesystem::path settings_directory() {
  DirectoryOverride& state = directory_override();
  std::lock_guard guard(state.lock);
  if (state.directory) return *state.directory;
  return std::filesystem::path(kBuiltInDirectory);
}

namespace detail {
void override_settings_directory(std::optional<std::filesystem::path> directory) {
  DirectoryOverride& state = directory_override();
  std::lock_guard guard(state.lock);
  state.directory = std::move(directory);
}
}  // namespace detail

}  // namespace tavik::platform
