#pragma once
// Bulk endpoints wired to the simulator's device engine: a USB device that
// answers exactly what a networked module answers.
#include <memory>

#include "simulator/simulator.h"
#include "usb_double/bulk_link.h"

namespace tavik::usb_double {

// A new connection to the simulated module, as the device's bulk endpoints.
std::shared_ptr<BulkLink> simulator_link(simulator::Simulator& simulator);

// A module that serves no TLS and sends no beacons: reachable over USB only.
std::unique_ptr<simulator::Simulator> start_usb_module(simulator::DeviceConfig config = {});

}  // namespace tavik::usb_double
