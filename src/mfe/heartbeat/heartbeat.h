#pragma once
// The heartbeat thread's start and stop.
namespace tavik::mfe {

// Behind HabilitarRedeBroadcast, FiltraMFEIp and a settings file that names
// the network: starts the heartbeat thread unless one runs, and sets the
// connection method to network in every case.
void start_heartbeat();

// The first steps of library_release: takes the thread out of its slot,
// sends it the stop request and waits a bounded time for it to end. Logs
// nothing when no thread was ever started.
void stop_heartbeat();

}  // namespace tavik::mfe
