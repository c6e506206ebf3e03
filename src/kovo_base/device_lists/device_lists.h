#pragma once
// The device records behind the JSON exports: the device of the current
// connection, and every module on USB or heard on the network.
#include <vector>

#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/device_info.h"

namespace tavik::kovo_base {

// The record of the device behind the guard.
DeviceInfo device_info_of(connection::ConnectionGuard& guard);

// Opens every supported USB device for the listing and closes it again.
Result<std::vector<DeviceInfo>> list_usb_devices();
// One discovery; ip and serial as heard.
Result<std::vector<DeviceInfo>> list_tcp_devices();

}  // namespace tavik::kovo_base
