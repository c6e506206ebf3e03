#pragma once
#include <optional>
#include <string>

namespace tavik::platform {

// The variable's value as Unicode (UTF-8) text; nothing when it is not set or
// its value is not valid Unicode.
std::optional<std::string> read_env_unicode(const char* name);

}  // namespace tavik::platform
