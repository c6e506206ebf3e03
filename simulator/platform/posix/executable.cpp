#include "simulator/platform/executable.h"

#include <system_error>

namespace tavik::simulator::platform {

std::optional<std::filesystem::path> executable_path() {
  std::error_code error;
  auto path = std::filesystem::read_symlink("/proc/self/exe", error);
  if (error) return std::nullopt;
  return path;
}

}  // namespace tavik::simulator::platform
