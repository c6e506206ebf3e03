#pragma once
// The settings file's text into the Settings record. The first error ends
// the parse and no value of the file is kept.
#include <expected>
#include <string_view>

#include "mfe/settings/ini_error.h"
#include "mfe/settings/settings.h"

namespace tavik::mfe {

// text: valid UTF-8.
std::expected<Settings, IniError> parse_settings(std::string_view text);

}  // namespace tavik::mfe
