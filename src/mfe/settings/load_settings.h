#pragma once
// Finding and reading mfe-config.ini: the fixed settings directory first,
// then the current directory. A file that was read but does not parse is
// final; otherwise the I/O error of the last attempt is the result.
#include <expected>
#include <filesystem>
#include <functional>
#include <span>

#include "kovo_base/connection_error.h"
#include "mfe/settings/settings.h"

namespace tavik::mfe {

inline constexpr const char* kSettingsFileName = "mfe-config.ini";

kovo_base::Result<Settings> load_settings();

// A directory to look in, determined only when the attempt before it failed.
using DirectoryLookup = std::function<std::expected<std::filesystem::path, kovo_base::IoError>()>;

// load_settings over the given directories, in order.
kovo_base::Result<Settings> load_settings_from(std::span<const DirectoryLookup> directories);

}  // namespace tavik::mfe
