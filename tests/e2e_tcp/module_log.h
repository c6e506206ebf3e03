#pragma once
// Simulated modules on loopback addresses, and what they write about each
// connection and exchange, kept for the test to look at.
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "simulator/simulator.h"

namespace tavik::e2e {

class ModuleLog {
 public:
  simulator::RequestLog sink();
  std::vector<std::string> lines() const;
  std::size_t count(std::string_view part) const;
  // Waits until at least times lines hold part; false when limit passed first.
  bool wait_for(std::string_view part, std::size_t times, std::chrono::milliseconds limit) const;
  // The peer ("address:port") of the connection that carried this request
  // line, e.g. "<- ConsultarSAT 004321"; empty when none did.
  std::string peer_of(std::string_view request) const;

 private:
  void add(std::string_view line);

  mutable std::mutex mutex_;
  mutable std::condition_variable added_;
  std::vector<std::string> lines_;
};

// An activated module (code 12345678, signAC set) with a fixed clock and
// random seed, so a second FiscalModule built from the same configuration
// answers the same requests alike. Its HeartBeatPDV answers prescribe an
// hour, so a test sees at most the first heartbeat.
simulator::DeviceConfig module_config(std::string serial = "900000123");

struct ModuleSetup {
  std::string address;
  simulator::DeviceConfig device = module_config();
  bool beacons = false;  // every 100 ms to 127.0.0.1:9015
  simulator::FaultPlan fault = {};
};

// A started module, or a reported failure and nullptr. Its lines go to log.
std::unique_ptr<simulator::Simulator> start_module(ModuleSetup setup, ModuleLog& log);

}  // namespace tavik::e2e
