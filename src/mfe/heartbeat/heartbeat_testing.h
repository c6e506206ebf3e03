#pragma once
// Test seam: start and stop with replaced clock, sleep, threads and send.
#include <memory>

#include "mfe/heartbeat/heartbeat_seams.h"
#include "mfe/heartbeat/thread_end.h"

namespace tavik::mfe::heartbeat {

void start_heartbeat(const HeartbeatSeams& seams);

// stop_heartbeat; returns the end of a thread that it had to leave running
// (not stopped in time, or its stop channel gone), else nothing.
std::shared_ptr<ThreadEnd> stop_heartbeat_thread();

// The seams that the library's own start (the load, HabilitarRedeBroadcast,
// FiltraMFEIp) uses from now on in this process, in place of the real ones.
void replace_library_seams(HeartbeatSeams seams);

}  // namespace tavik::mfe::heartbeat
