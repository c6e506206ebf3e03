#pragma once
// Winsock must be started once per process before the first socket call.
namespace tavik::platform::win32 {

// Starts Winsock 2.2 on first use; false when the system refused. Never
// cleaned up: sockets may be in use until the process ends.
bool ensure_winsock();

}  // namespace tavik::platform::win32
