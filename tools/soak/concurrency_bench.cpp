// Concurrent callers against one caller: ConsultarSAT through the real shared
// library over TLS to one simulated module, in continuous mode, first from
// one thread, then from several at once. Exchanges share the one connection
// and run one after another, so the time per call over all callers should
// stay what one caller sees: locking and hand-over must not cost more.
// Runs in a network namespace of its own (root), as the library uses the
// fixed ports. Output: "name value unit baseline ratio goal verdict".
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "figure_line.h"
#include "library.h"
#include "private_network.h"
#include "simulator/simulator.h"

namespace {

using namespace tavik::soak;
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
          if (text.find("|08000|") == std::string::npos) failed.store(true);
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
  constexpr unsigned kCalls = 200;
  const double one = ms_per_call(exports, 1, kCalls);
  const double many = ms_per_call(exports, kThreads, kCalls / kThreads);
  library.reset();
  (*module)->stop();
  std::filesystem::remove_all(dir);
  if (one < 0 || many < 0) {
    std::fprintf(stderr, "concurrency_bench: a call did not get its answer\n");
    return 1;
  }
  print_figure("concurrent_callers_4_vs_1_per_call", many, "ms", one, "<=1.25x", many <= 1.25 * one);
  return 0;
}
