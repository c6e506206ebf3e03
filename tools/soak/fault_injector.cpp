#include "fault_injector.h"

#include <chrono>
#include <cstdio>
#include <mutex>

#include <fmt/format.h>

#include "soak_faults.h"

namespace tavik::soak {
namespace {

using namespace std::chrono_literals;

// How often each simulator's plan is redrawn.
constexpr auto kFaultPeriod = 15ms;

}  // namespace

FaultInjector::FaultInjector(unsigned fault_percent, std::uint32_t seed) : fault_percent_(fault_percent), random_(seed) {}

std::expected<std::unique_ptr<FaultInjector>, std::string> FaultInjector::start(unsigned simulators,
                                                                                unsigned fault_percent,
                                                                                std::uint32_t seed,
                                                                                const std::string& simulator_log) {
  std::unique_ptr<FaultInjector> injector(new FaultInjector(fault_percent, seed));
  struct LogFile {
    std::mutex mutex;
    std::FILE* file = nullptr;
    ~LogFile() {
      if (file != nullptr) std::fclose(file);
    }
  };
  auto log_file = std::make_shared<LogFile>();
  if (!simulator_log.empty()) log_file->file = std::fopen(simulator_log.c_str(), "w");
  for (unsigned i = 0; i < simulators; ++i) {
    simulator::SimulatorOptions options;
    options.address = fmt::format("127.0.0.{}", i + 2);
    options.device.serial = fmt::format("{}", 900000100 + i);
    options.device.activation_code = "12345678";
    options.device.heartbeat_interval_seconds = 1;
    options.device.random_seed = seed + i + 1;
    options.beacon = simulator::BeaconOptions{"127.0.0.1", 9015, 150ms};
    // Each fault the simulator applies is noted in its log, with the
    // session number of the answer it hit.
    options.log = [ledger = injector->ledger_, log_file](std::string_view line) {
      ledger->note_simulator_line(line);
      if (log_file->file == nullptr) return;
      std::lock_guard lock(log_file->mutex);
      std::fprintf(log_file->file, "%.*s\n", static_cast<int>(line.size()), line.data());
    };
    auto started = simulator::Simulator::start(std::move(options));
    if (!started) return std::unexpected(fmt::format("simulator {}: {}", i + 1, started.error()));
    injector->modules_.push_back({(*started)->address(), fmt::format("{}", 900000100 + i)});
    injector->simulators_.push_back(std::move(*started));
  }
  injector->thread_ = std::thread([raw = injector.get()] { raw->run(); });
  return injector;
}

void FaultInjector::run() {
  std::uniform_int_distribution<unsigned> percent(0, 99);
  const auto faults = soak_faults();
  std::uniform_int_distribution<std::size_t> which(0, faults.size() - 1);
  std::uniform_int_distribution<int> delay_ms(1, 40);
  while (!stopping_.load()) {
    for (auto& simulator : simulators_) {
      simulator::FaultPlan plan;
      if (percent(random_) < fault_percent_) {
        plan.fault = faults[which(random_)].fault;
        plan.count = 1;
        plan.delay = std::chrono::milliseconds(delay_ms(random_));
        plan.stale_frames = 1 + percent(random_) % 4;
        plan.split_size = 1 + percent(random_) % 64;
      }
      simulator->set_fault(plan);
    }
    std::this_thread::sleep_for(kFaultPeriod);
  }
}

void FaultInjector::stop() {
  stopping_.store(true);
  if (thread_.joinable()) thread_.join();
  for (auto& simulator : simulators_) simulator->stop();
}

FaultInjector::~FaultInjector() { stop(); }

}  // namespace tavik::soak
