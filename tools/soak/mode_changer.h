#pragma once
// The thread that keeps changing what the callers run under: the device
// filter (address, serial, USB position, none, an address where nothing
// listens), continuous or per-request connections, compression on or off.
#include <atomic>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

#include "fault_injector.h"
#include "library.h"

namespace tavik::soak {

class ModeChanger {
 public:
  // How each filter lets the library reach a module goes to the ledger.
  ModeChanger(const Exports& exports, std::vector<ModuleAddress> modules, FaultLedger& ledger, std::uint32_t seed);
  ~ModeChanger();
  ModeChanger(const ModeChanger&) = delete;
  ModeChanger& operator=(const ModeChanger&) = delete;

  std::uint64_t changes() const { return changes_.load(); }
  void stop();

 private:
  void run();
  void change_once();

  const Exports& exports_;
  std::vector<ModuleAddress> modules_;
  FaultLedger& ledger_;
  std::mt19937 random_;
  std::atomic<std::uint64_t> changes_{0};
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

}  // namespace tavik::soak
