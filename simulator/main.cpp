// tavik-simulator: runs one simulated fiscal module until Ctrl-C.
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

#include <fmt/format.h>

#include "simulator/command_line.h"
#include "simulator/platform/socket.h"
#include "simulator/text_utils.h"

namespace {
// Exit statuses: every bad option gives the same one, distinct from a module
// that could not start with good options (port taken, certificates missing).
constexpr int kExitOptionError = 2;
constexpr int kExitStartFailure = 1;
}  // namespace

int main(int argc, char** argv) {
  using namespace tavik::simulator;
  platform::block_termination_signals();
  auto line = parse_command_line(std::vector<std::string>(argv + 1, argv + argc));
  if (!line) {
    fmt::print(stderr, "tavik-simulator: {}\n", line.error());
    return kExitOptionError;
  }
  if (line->help) {
    fmt::print("{}", help_text());
    return 0;
  }
  if (!line->quiet) {
    line->options.log = [](std::string_view text) {
      static std::mutex mutex;
      std::lock_guard lock(mutex);
      const auto now = std::chrono::system_clock::now();
      const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
      fmt::print("{}.{:03} {}\n", date_time_text(now), ms, text);
      std::fflush(stdout);
    };
  }
  auto simulator = Simulator::start(line->options);
  if (!simulator) {
    fmt::print(stderr, "tavik-simulator: {}\n", simulator.error());
    return kExitStartFailure;
  }
  const auto& o = line->options;
  fmt::print("Simulated {} serial {} on {}:{} (TLS){}{}\n", o.device.model, o.device.serial, o.address,
             (*simulator)->tls_port(),
             o.beacon ? fmt::format(", beacons to {}:{} every {} ms", o.beacon->target, o.beacon->port,
                                    o.beacon->period.count())
                      : std::string(", no beacons"),
             o.fault.fault != Fault::None ? fmt::format(", fault {}", name_of(o.fault.fault)) : std::string());
  std::fflush(stdout);
  platform::wait_for_termination();
  (*simulator)->stop();
  return 0;
}
