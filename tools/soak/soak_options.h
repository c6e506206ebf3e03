#pragma once
// The soak program's command line.
#include <cstdint>
#include <optional>
#include <string>

namespace tavik::soak {

struct SoakOptions {
  std::uint64_t calls = 3000;     // export calls over all caller threads
  unsigned threads = 4;           // caller threads
  unsigned simulators = 3;        // modules on 127.0.0.2, 127.0.0.3, ...
  std::uint64_t warmup_calls = 0;  // 0: a tenth of the calls, at least 500
  std::uint32_t seed = 0;          // 0: from the clock
  std::string library;             // the libtaviksat.so to load
  std::string log_file;            // when set, the library logs at debug level there (the simulators to FILE.simulators)
  unsigned fault_percent = 30;     // share of answers and connections that get a fault
  // The share of device exchanges that must get the module's answer; when
  // unset, judged only under CI.
  std::optional<unsigned> minimum_answered_percent;
};

// Nothing when the arguments are wrong (the usage has then been printed).
std::optional<SoakOptions> parse_soak_options(int argc, char** argv);

}  // namespace tavik::soak
