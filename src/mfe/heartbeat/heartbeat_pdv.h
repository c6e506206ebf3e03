#pragma once
// The HeartBeatPDV message: what it carries and its exchange.
#include <string>
#include <vector>

#include "codec/frame.h"
#include "kovo_base/connection_error.h"
#include "mfe/ac_status.h"

namespace tavik::mfe {

// The six contents in order: AC status b and a (or "NA"), "1"/"0" for a
// recorded status, "NA", the build identifier and the system description.
std::vector<std::string> heartbeat_pdv_contents(const AcStatus& status, const std::string& os_description);

// The running system's description, read once per process.
const std::string& cached_os_description();

// Sends one HeartBeatPDV, without a session number, with the AC status as it
// is now; returns the module's answer.
kovo_base::Result<codec::MfeBody> send_heartbeat_pdv();

}  // namespace tavik::mfe
