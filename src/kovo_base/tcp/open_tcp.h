#pragma once
// Opening the TCP transport: choosing a module by the device filter and
// connecting to its TLS service.
#include <functional>
#include <optional>
#include <vector>

#include "kovo_base/connection/handle.h"
#include "kovo_base/connection_error.h"
#include "kovo_base/device_filter.h"
#include "kovo_base/tcp/discovery.h"

namespace tavik::kovo_base::tcp {

// The module to open under filter: the last candidate, or nothing.
// discover runs only when the filter does not name an address alone.
Result<std::optional<Opener>> choose_device(const DeviceFilter& filter,
                                            const std::function<Result<std::vector<Opener>>()>& discover);

// Connects to the chosen module; no TLS record is exchanged yet.
Result<connection::Handle> connect_tcp(const Opener& device);

// The TCP opener of the connection manager: choose, connect, check.
Result<connection::Handle> open_tcp();

}  // namespace tavik::kovo_base::tcp
