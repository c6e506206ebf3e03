#pragma once
// Choosing the device: the opening options, the eager probe, and the filter
// exports built on them.
#include <cstdint>
#include <optional>
#include <string>

#include "kovo_base/connection_error.h"

namespace tavik::mfe {

// Replaces the whole device filter, then closes the open connection, so that
// every opening from the call on looks for a device under the new options.
void set_opening_options(std::optional<std::uint8_t> bus, std::optional<std::uint8_t> port,
                         std::optional<std::string> ip, std::optional<std::string> serial);

// Opens the device now (and releases it at once) so the caller learns whether
// the options find one.
kovo_base::Result<void> probe_connection();

// The filter exports: 0 when the probe succeeds, 1 otherwise.
int filter_by_serial(const char* serial);
int filter_by_usb(int hub, int port);
int filter_by_ip(const char* ip);
void clear_filters();

// The JSON exports: a new allocation the library never frees, or null.
const char* device_info_json();
const char* usb_devices_json();
const char* tcp_devices_json();

}  // namespace tavik::mfe
