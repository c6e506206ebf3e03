#pragma once
// log_and_pass_on for the exported layer: a failed result given at Error or
// Warn level is logged under target mfe::logging as
// "<context>: <display> (<debug>)"; the result itself is returned unchanged.
//   return log_and_pass_on(get_connection(), log::Level::Error, "Failed to open port");
#include "kovo_base/connection_error.h"
#include "log/pass_on.h"

namespace tavik::mfe {

inline constexpr ::tavik::log::ResultPassOn log_and_pass_on{"mfe::logging"};

}  // namespace tavik::mfe
