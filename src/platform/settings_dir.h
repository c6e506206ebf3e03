#pragma once
// The fixed directory where the library looks for its settings file first:
// C:/tavik on Windows, /etc/tavik elsewhere. A build may fix another one
// (CMake cache option TAVIK_SETTINGS_DIR), and tests may replace it at run time.
#include <filesystem>
#include <optional>

namespace tavik::platform {

std::filesystem::path settings_directory();

namespace detail {
// Replaces the directory that settings_directory() answers; nothing restores
// the built-in one.
void override_settings_directory(std::optional<std::filesystem::path> directory);
}  // namespace detail

}  // namespace tavik::platform
