#pragma once
// The interval, in seconds, that the module prescribes in its answer to a
// HeartBeatPDV.
#include <cstdint>
#include <optional>
#include <string_view>

#include "codec/frame.h"
#include "kovo_base/connection_error.h"

namespace tavik::mfe::heartbeat {

// Digits only, with one optional leading "+"; nothing else, nothing empty,
// nothing above the largest unsigned 64-bit value.
std::optional<std::uint64_t> parse_unsigned_decimal(std::string_view text);

// The answer's first content field read as seconds. A missing or unreadable
// field is Protocol, logged at Warn level through log_and_pass_on.
kovo_base::Result<std::uint64_t> heartbeat_wait_seconds(const codec::MfeBody& answer);

}  // namespace tavik::mfe::heartbeat
