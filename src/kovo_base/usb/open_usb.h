#pragma once
// Opening the USB connection under the global DeviceFilter.
#include "kovo_base/connection/handle.h"
#include "kovo_base/connection_error.h"

namespace tavik::kovo_base::usb {

// The first candidate, in libusb's order, on the filter's bus and port that
// passes its model's product check; DeviceNotFound when none does.
Result<connection::Handle> open_usb();

}  // namespace tavik::kovo_base::usb
