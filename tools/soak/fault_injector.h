#pragma once
// Several simulated modules on 127.0.0.2, 127.0.0.3, ..., beaconing to the
// library, and a thread that keeps giving them random one-shot faults.
#include <atomic>
#include <cstdint>
#include <expected>
#include <memory>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "simulator/simulator.h"

namespace tavik::soak {

struct ModuleAddress {
  std::string ip;
  std::string serial;
};

class FaultInjector {
 public:
  static std::expected<std::unique_ptr<FaultInjector>, std::string> start(unsigned simulators, unsigned fault_percent,
                                                                          std::uint32_t seed);
  ~FaultInjector();
  FaultInjector(const FaultInjector&) = delete;
  FaultInjector& operator=(const FaultInjector&) = delete;

  const std::vector<ModuleAddress>& modules() const { return modules_; }
  // Faults the simulators reported acting, by their log lines.
  std::uint64_t faults_injected() const { return faults_->load(); }
  void stop();

 private:
  FaultInjector(unsigned fault_percent, std::uint32_t seed);
  void run();

  unsigned fault_percent_;
  std::mt19937 random_;
  std::shared_ptr<std::atomic<std::uint64_t>> faults_ = std::make_shared<std::atomic<std::uint64_t>>(0);
  std::vector<std::unique_ptr<simulator::Simulator>> simulators_;
  std::vector<ModuleAddress> modules_;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace tavik::soak
