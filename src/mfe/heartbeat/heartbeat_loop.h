#pragma once
// The heartbeat thread's loop: probing until a TCP connection can be had,
// then beating at the interval that each answer prescribes, until a stop
// request arrives.
#include <cstdint>
#include <string_view>

#include "mfe/heartbeat/heartbeat_seams.h"
#include "mfe/heartbeat/stop_channel.h"

namespace tavik::mfe::heartbeat {

// Seconds as a clock duration; intervals beyond what the clock can count
// become the largest duration, which never elapses.
Clock::duration interval_of(std::uint64_t seconds);

// Returns once a stop request has been taken from stop.
void run_heartbeat_loop(std::string_view name, StopReceiver& stop, const HeartbeatSeams& seams);

}  // namespace tavik::mfe::heartbeat
