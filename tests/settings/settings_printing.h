#pragma once
// Failure messages that show settings and INI errors in their debug form.
#include <ostream>

#include "mfe/settings/ini_error.h"
#include "mfe/settings/settings.h"

namespace tavik::mfe {
inline void PrintTo(const Settings& settings, std::ostream* out) { *out << debug(settings); }
inline void PrintTo(const IniError& error, std::ostream* out) { *out << error.debug(); }
}  // namespace tavik::mfe
