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

// The step of library_release after stop_heartbeat: waits a bounded time for
// the connection probes still running (the heartbeat thread leaves them to
// end on their own), so that none is left in the library's code once it is
// unloaded. Expects platform::raise_shutdown() to have been called, which
// makes their long waits end promptly and stops new ones from starting.
void stop_connection_probes();

}  // namespace tavik::mfe
