#pragma once
// How a Handle of each kind is opened. The USB and TCP transports install
// their openers here; tests install scripted devices.
#include <functional>

#include "kovo_base/connection/handle.h"
#include "kovo_base/connection_error.h"

namespace tavik::kovo_base::connection {

using Opener = std::function<Result<Handle>()>;

// Replaces the opener of that kind; an empty function removes it.
void set_opener(HandleKind kind, Opener opener);

// Opens a new handle of that kind: DeviceNotFound when no opener is installed.
Result<Handle> open_handle(HandleKind kind);

}  // namespace tavik::kovo_base::connection
