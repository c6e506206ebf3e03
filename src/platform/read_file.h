#pragma once
// Reading a whole file and finding the process's current directory, as the
// settings loader needs them.
#include <expected>
#include <filesystem>
#include <string>

#include "base/io_error.h"

namespace tavik::platform {

// Every byte of the file, unchanged. Only regular files are read: a directory
// fails as the system reports it, and a pipe or device fails with InvalidInput
// instead of blocking or reading forever.
std::expected<std::string, kovo_base::IoError> read_whole_file(const std::filesystem::path& path);

std::expected<std::filesystem::path, kovo_base::IoError> current_directory();

}  // namespace tavik::platform
