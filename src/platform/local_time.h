#pragma once
// The wall clock and the local time zone's offset from UTC.
#include <chrono>
#include <optional>

namespace tavik::platform {

std::chrono::system_clock::time_point current_time();

// The local offset from UTC in force now (east positive); nothing when the
// operating system cannot tell.
std::optional<std::chrono::seconds> local_utc_offset();

}  // namespace tavik::platform
