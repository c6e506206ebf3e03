#pragma once
// Reading a module's UDP beacon: one whole MFE frame whose body begins with
// the module's serial number.
#include <optional>
#include <string>

#include "codec/frame.h"

namespace tavik::kovo_base::tcp {

// The serial text (at least six characters, zero-padded after any sign) of
// the module that sent the datagram, or nothing when it is no beacon. Frames
// that do not decode are logged at Error level.
std::optional<std::string> parse_beacon(codec::ByteView datagram);

}  // namespace tavik::kovo_base::tcp
