#pragma once
// What the device records need from USB: the model, bus, port and serial of
// an open handle or of an enumerated candidate.
#include <optional>

#include "kovo_base/connection/handle.h"
#include "kovo_base/device_info.h"
#include "kovo_base/usb/usb_candidates.h"

namespace tavik::kovo_base::usb {

// model Usb(...), bus, port and the serial-number string (absent when it
// cannot be read within its time-out); ip absent.
DeviceInfo usb_device_info(const Opener& candidate);
// The same for the device behind a Usb handle; none for a Tcp handle.
std::optional<DeviceInfo> usb_device_info(connection::Handle& handle);

}  // namespace tavik::kovo_base::usb
