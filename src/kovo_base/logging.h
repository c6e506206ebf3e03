#pragma once
// log_and_pass_on for the connection layer: a failed result given at Error or
// Warn level is logged under target kovo_base::logging as
// "<context>: <display> (<debug>)"; the result itself is returned unchanged.
#include "kovo_base/connection_error.h"
#include "log/pass_on.h"

namespace tavik::kovo_base {

inline constexpr ::tavik::log::ResultPassOn log_and_pass_on{"kovo_base::logging"};

}  // namespace tavik::kovo_base
