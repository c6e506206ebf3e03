#pragma once
// Several simulated modules on 127.0.0.2, 127.0.0.3, ..., beaconing to the
// library, and a thread that keeps giving them random one-shot faults (from
// soak_faults.h), each noted in the ledger when a simulator acts on it.
#include <atomic>
#include <cstdint>
#include <expected>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "fault_ledger.h"
#include "simulator/simulator.h"

namespace tavik::soak {

struct ModuleAddress {
  std::string ip;
  std::string serial;
};

class FaultInjector {
 public:
  // simulator_log: a file that gets every simulator's log lines; empty: none.
  static std::expected<std::unique_ptr<FaultInjector>, std::string> start(unsigned simulators, unsigned fault_percent,
                                                                          std::uint32_t seed,
                                                                          const std::string& simulator_log);
  ~FaultInjector();
  FaultInjector(const FaultInjector&) = delete;
  FaultInjector& operator=(const FaultInjector&) = delete;

  const std::vector<ModuleAddress>& modules() const { return modules_; }
  // The faults the simulators reported acting, by their log lines.
  FaultLedger& ledger() const { return *ledger_; }
  void stop();

 private:
  FaultInjector(unsigned fault_percent, std::uint32_t seed);
  void run();

  unsigned fault_percent_;
  std::mt19937 random_;
  std::shared_ptr<FaultLedger> ledger_ = std::make_shared<FaultLedger>();
  std::vector<std::unique_ptr<simulator::Simulator>> simulators_;
  std::vector<ModuleAddress> modules_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace tavik::soak
