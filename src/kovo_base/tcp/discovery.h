#pragma once
// Finding fiscal modules on the network by the UDP beacons they broadcast.
#include <string>
#include <vector>

#include "kovo_base/connection_error.h"
#include "kovo_base/tcp/tcp_models.h"

namespace tavik::kovo_base::tcp {

// One module heard on the network (or named by the filter's address).
struct Opener {
  std::string ip;      // dotted-decimal sender address
  std::string serial;  // from the beacon, or "NA"
  TcpModelRef info;    // the model the module is attributed to

  // Opener { info: <omitted>, ip: "10.0.0.5", serial: "000123" }
  std::string debug() const;
};

// [Opener { ... }, Opener { ... }]
std::string debug(const std::vector<Opener>& openers);

// Listens on the beacon port and waits for one datagram per registered model,
// each receive bounded by the beacon time-out. The list is in beacon order.
Result<std::vector<Opener>> discover_tcp_devices();

}  // namespace tavik::kovo_base::tcp
