#pragma once
// The edge of every exported call: C-string arguments in, result texts out.
#include <cstdint>
#include <string>

#include "kovo_base/connection_error.h"

namespace tavik::dllsat {

// An owned copy of a NUL-terminated UTF-8 argument, or InvalidNullPointer /
// Utf8.
kovo_base::Result<std::string> read_c_string_argument(const char* argument);

// What the caller receives instead of a device answer.
std::string error_result_text(const kovo_base::ConnectionError& error, std::int32_t session);

}  // namespace tavik::dllsat
