#include "e2e_tcp/module_log.h"

#include <algorithm>
#include <iostream>

#include <gtest/gtest.h>

#include "simulator/test_device.h"

namespace tavik::e2e {

simulator::RequestLog ModuleLog::sink() {
  return [this](std::string_view line) { add(line); };
}

void ModuleLog::add(std::string_view line) {
  {
    std::lock_guard lock(mutex_);
    lines_.emplace_back(line);
  }
  added_.notify_all();
}

std::vector<std::string> ModuleLog::lines() const {
  std::lock_guard lock(mutex_);
  return lines_;
}

std::size_t ModuleLog::count(std::string_view part) const {
  std::lock_guard lock(mutex_);
  return static_cast<std::size_t>(std::count_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
    return line.find(part) != std::string::npos;
  }));
}

bool ModuleLog::wait_for(std::string_view part, std::size_t times, std::chrono::milliseconds limit) const {
  std::unique_lock lock(mutex_);
  return added_.wait_for(lock, limit, [&] {
    return static_cast<std::size_t>(std::count_if(lines_.begin(), lines_.end(), [&](const std::string& line) {
             return line.find(part) != std::string::npos;
           })) >= times;
  });
}

std::string ModuleLog::peer_of(std::string_view request) const {
  // Lines read "[module address] [peer] <- Code 004321 ...".
  std::lock_guard lock(mutex_);
  for (const std::string& line : lines_) {
    if (line.find(request) == std::string::npos) continue;
    const auto open = line.find("] [");
    const auto close = line.find(']', open + 3);
    if (open == std::string::npos || close == std::string::npos) continue;
    return line.substr(open + 3, close - open - 3);
  }
  return {};
}

simulator::DeviceConfig module_config(std::string serial) {
  simulator::DeviceConfig config = simulator::testing::activated_config();
  config.serial = std::move(serial);
  config.heartbeat_interval_seconds = 3600;
  return config;
}

std::unique_ptr<simulator::Simulator> start_module(ModuleSetup setup, ModuleLog& log) {
  simulator::SimulatorOptions options;
  options.device = std::move(setup.device);
  options.address = setup.address;
  options.tls_port = 9014;
  options.fault = setup.fault;
  options.log = log.sink();
  if (setup.beacons) {
    options.beacon = simulator::BeaconOptions{"127.0.0.1", 9015, std::chrono::milliseconds(100)};
  } else {
    options.beacon.reset();
  }
  auto started = simulator::Simulator::start(std::move(options));
  if (!started) {
    ADD_FAILURE() << "module on " << setup.address << " did not start: " << started.error();
    return nullptr;
  }
  return std::move(*started);
}

}  // namespace tavik::e2e
