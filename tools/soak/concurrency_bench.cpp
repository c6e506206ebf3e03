// Concurrent callers against one caller: ConsultarSAT through the real shared
// library over TLS to one simulated module, in continuous mode, first from
// one thread, then from several at once, in alternating rounds. Exchanges
// share the one connection and run one after another, so the time per call
// over all callers should stay what one caller sees: the figure is what the
// hand-over of the connection adds to each call (many callers minus one, in
// milliseconds, the median over the rounds). Every answer must carry its
// call's own session number.
// Runs in a network namespace of its own (root), as the library uses the
// fixed ports. Output: "name value unit baseline ratio goal verdict".
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "figure_line.h"
#include "library.h"
#include "private_network.h"
#include "simulator/simulator.h"

namespace {

using namespace tavik::soak;

// The hand-over may add this much to each call. One exchange over loopback
// takes about 10.5 ms (the liveness check's 10 ms and a round trip); taking
// a lock that another thread releases costs microseconds, so a millisecond
// leaves room for a loaded machine and still shows a lock that lets one
// thread win over and over (calls then take seconds).
constexpr double handover_goal_ms = 1.0;
constexpr int rounds = 5;

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

// Milliseconds per call over all callers; negative when a call failed.
double ms_per_call(const Exports& exports, unsigned threads, unsigned calls_each) {
  std::atomic<bool> failed{false};
  const auto start = Clock::now();
  {
    std::vector<std::jthread> callers;
    for (unsigned t = 0; t < threads; ++t) {
      callers.emplace_back([&] {
        for (unsigned i = 0; i < calls_each; ++i) {
          const int session = exports.gera_numero_sessao();
          const std::string text = exports.consultar_sat(session);
          if (!text.starts_with(fmt::format("{:06}|08000|", session))) failed.store(true);
        }
      });
    }
  }
  const double total = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
  return failed.load() ? -1.0 : total / (threads * calls_each);
}

}  // namespace

int main(int argc, char** argv) {
  const std::string path = argc > 1 ? argv[1] : TAVIK_SOAK_DEFAULT_LIBRARY;
  if (!tavik::testing::enter_private_network()) {
    std::fprintf(stderr, "concurrency_bench: needs a network namespace of its own (run as root)\n");
    return 77;
  }
  const auto dir = std::filesystem::temp_directory_path() / ("tavik-concurrency-" + std::to_string(::getpid()));
  std::filesystem::create_directories(dir);
  if (::chdir(dir.c_str()) != 0) return 2;
  ::unsetenv("LOG_LEVEL_MFE");
  ::unsetenv("LOG_FILE_MFE");

  tavik::simulator::SimulatorOptions options;
  options.address = "127.0.0.2";
  options.device.activation_code = "12345678";
  options.beacon = tavik::simulator::BeaconOptions{"127.0.0.1", 9015, 200ms};
  auto module = tavik::simulator::Simulator::start(std::move(options));
  if (!module) {
    std::fprintf(stderr, "concurrency_bench: %s\n", module.error().c_str());
    return 2;
  }
  std::string error;
  std::unique_ptr<Library> library(Library::load(path, error));
  if (!library) {
    std::fprintf(stderr, "concurrency_bench: %s\n", error.c_str());
    return 2;
  }
  const Exports& exports = library->exports();
  exports.habilitar_rede_broadcast();
  (void)exports.filtra_ip("127.0.0.2");
  exports.habilitar_conexao_continua();
  ms_per_call(exports, 1, 20);  // opens the connection

  constexpr unsigned kThreads = 4;
  constexpr unsigned kCalls = 100;
  std::vector<double> ones, manys, added;
  bool failed = false;
  for (int round = 0; round < rounds && !failed; ++round) {
    const double one = ms_per_call(exports, 1, kCalls);
    const double many = ms_per_call(exports, kThreads, kCalls / kThreads);
    failed = one < 0 || many < 0;
    ones.push_back(one);
    manys.push_back(many);
    added.push_back(many - one);
  }
  library.reset();
  (*module)->stop();
  std::filesystem::remove_all(dir);
  if (failed) {
    std::fprintf(stderr, "concurrency_bench: a call did not get its own answer\n");
    return 1;
  }
  const double handover = median(added);
  print_info("concurrent_callers_1_per_call", median(ones), "ms");
  print_info("concurrent_callers_4_per_call", median(manys), "ms");
  fmt::print("concurrent_callers_4_minus_1_per_call {:.3f} ms - - <={:.1f}ms {}\n", handover, handover_goal_ms,
             handover <= handover_goal_ms ? "ok" : "MISSED");
  return 0;
}
