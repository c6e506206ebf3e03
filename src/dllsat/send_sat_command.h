#pragma once
// One SAT function sent to the fiscal module, its answer as the result text.
#include <cstdint>
#include <string>
#include <vector>

#include "codec/frame.h"
#include "kovo_base/connection_error.h"

namespace tavik::dllsat {

// Registers session first, then exchanges one request and its answer.
kovo_base::Result<std::string> send_sat_command(std::int32_t session, codec::SatFunction function,
                                                std::vector<std::string> arguments);

// The SAT command layer's line at unload; it releases nothing.
void release_line();

}  // namespace tavik::dllsat
