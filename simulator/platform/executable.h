#pragma once
// Where the running program's file lies, so that files shipped beside it can
// be found wherever it was built or installed.
#include <filesystem>
#include <optional>

namespace tavik::simulator::platform {

// The absolute path of the running executable, or nothing when the system
// does not tell.
std::optional<std::filesystem::path> executable_path();

}  // namespace tavik::simulator::platform
