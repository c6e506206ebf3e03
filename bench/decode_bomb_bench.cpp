// Peak memory and time of answers that inflate far beyond their size on the
// wire, through the real shared library against the simulator over TLS:
//
//   field bomb: 16 KB on the wire inflating to 16 MiB of "|" (16 million
//   empty fields). Baseline: a legitimate answer of the same decoded size
//   with one big field. Goal: under 64 MiB added, whatever the field count.
//
//   zlib bomb: 1 MiB on the wire inflating to 1 GiB. Baseline: a legitimate
//   8 MiB answer. Goals: under 128 MiB added, over within 5 s.
//
//   the legitimate 8 MiB answer arrives intact.
//
// Each answer is taken by a fresh child process (this program run again
// with --child), which loads the library, makes one ordinary call so that
// the connection is open, reads its VmHWM, makes the measured call and reads
// VmHWM again: "added" is the difference. The simulator runs in this parent,
// so its own buffers never count. Run as root, the benchmark enters a
// network namespace of its own (the library uses the fixed port 9014).
//
// Output: one line per figure, "name value unit baseline ratio goal verdict".
#include <dlfcn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <optional>
#include <string>

#include <fmt/format.h>

#include "codec/frame.h"
#include "private_network.h"
#include "simulator/fault_frames.h"
#include "simulator/platform/socket.h"
#include "simulator/simulator.h"

namespace {

using namespace tavik;

constexpr std::uint64_t mib = 1u << 20;

[[noreturn]] void fail(const std::string& what) {
  std::fprintf(stderr, "# %s\n", what.c_str());
  std::exit(1);
}

// ---- the child: one measured call through the library ----

std::uint64_t vm_hwm_kib() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) return std::strtoull(line.c_str() + 6, nullptr, 10);
  }
  return 0;
}

int run_child(const char* address) {
  ::unsetenv("LOG_LEVEL_MFE");  // no log: the figures are the library's own
  ::unsetenv("LOG_FILE_MFE");
  void* library = ::dlopen(TAVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
  if (!library) fail("cannot load the library");
  auto* consultar = reinterpret_cast<const char* (*)(int)>(::dlsym(library, "ConsultarSAT"));
  auto* filtra_ip = reinterpret_cast<int (*)(const char*)>(::dlsym(library, "FiltraMFEIp"));
  if (!consultar || !filtra_ip || filtra_ip(address) != 0) fail("the library cannot open the module");
  if (std::string(consultar(100001)).find("|08000|") == std::string::npos) fail("no ordinary answer");

  // Tell the parent that the connection is open, wait for its fault.
  std::puts("ready");
  std::fflush(stdout);
  char go = 0;
  if (::read(STDIN_FILENO, &go, 1) != 1) fail("no go from the parent");

  const std::uint64_t before = vm_hwm_kib();
  const auto start = std::chrono::steady_clock::now();
  const char* result = consultar(100002);
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  const std::uint64_t after = vm_hwm_kib();
  const std::string_view text(result);
  const std::string_view head = text.substr(0, 32);
  std::printf("%llu %llu %.3f %zu %zu %.*s\n", static_cast<unsigned long long>(before),
              static_cast<unsigned long long>(after), seconds, text.size(),
              text.find_first_not_of('A', text.find("|||") == std::string_view::npos ? text.size() : text.find("|||") + 3),
              static_cast<int>(head.size()), head.data());
  std::fflush(stdout);
  std::_Exit(0);
}

// ---- the parent: the module, and one child per answer ----

struct Measured {
  double added_mib = 0;
  double seconds = 0;
  std::size_t length = 0;
  std::size_t first_non_filler = 0;
  std::string head;
};

Measured measure(simulator::Simulator& module, const std::string& self, const std::string& address,
                 simulator::FaultPlan plan) {
  int to_child[2];
  int from_child[2];
  if (::pipe(to_child) != 0 || ::pipe(from_child) != 0) fail("pipe");
  module.set_fault({});
  const pid_t pid = ::fork();
  if (pid < 0) fail("fork");
  if (pid == 0) {
    ::dup2(to_child[0], STDIN_FILENO);
    ::dup2(from_child[1], STDOUT_FILENO);
    ::close(to_child[1]);
    ::close(from_child[0]);
    ::execl(self.c_str(), self.c_str(), "--child", address.c_str(), static_cast<char*>(nullptr));
    std::_Exit(127);
  }
  ::close(to_child[0]);
  ::close(from_child[1]);
  FILE* out = ::fdopen(from_child[0], "r");
  char line[512] = {};
  if (!std::fgets(line, sizeof line, out) || std::string(line) != "ready\n") fail("child not ready");
  module.set_fault(plan);
  if (::write(to_child[1], "g", 1) != 1) fail("cannot start the child");
  unsigned long long before = 0, after = 0;
  Measured m;
  char head[64] = {};
  if (!std::fgets(line, sizeof line, out) ||
      std::sscanf(line, "%llu %llu %lf %zu %zu %63[^\n]", &before, &after, &m.seconds, &m.length,
                  &m.first_non_filler, head) < 5) {
    fail("no figures from the child");
  }
  m.head = head;
  m.added_mib = static_cast<double>(after - before) / 1024.0;
  std::fclose(out);
  ::close(to_child[1]);
  int status = 0;
  ::waitpid(pid, &status, 0);
  module.set_fault({});
  return m;
}

void print_line(const std::string& name, double value, const char* unit, double baseline, const std::string& goal,
                bool met) {
  std::printf("%s %.3f %s %.3f %.3f %s %s\n", name.c_str(), value, unit, baseline,
              baseline > 0 ? value / baseline : 0.0, goal.c_str(), met ? "ok" : "MISSED");
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::strcmp(argv[1], "--child") == 0) return run_child(argv[2]);

  const bool private_network = tavik::testing::enter_private_network();
  if (!private_network) std::fprintf(stderr, "# not root: using 127.0.0.1:9014 of this machine\n");
  const std::string address = private_network ? "127.0.0.2" : "127.0.0.1";
  simulator::platform::ignore_broken_pipe();
  simulator::SimulatorOptions options;
  options.address = address;
  options.beacon.reset();
  options.device.heartbeat_interval_seconds = 3600;
  options.device.refuse_reused_sessions = false;
  // Compressed answers whatever the request: the bombs and the baselines alike.
  options.device.compression = simulator::CompressionMode::Compressed;
  auto module = simulator::Simulator::start(std::move(options));
  if (!module) fail("simulator: " + module.error());
  const std::string self = "/proc/self/exe";
  const std::string consulted = codec::format_session_number(100002) + "|08000|SAT em Operação||";

  // The simulator keeps the compressed filler once made: made here, before
  // any call waits for it.
  simulator::bomb_frame("ConsultarSAT", "", '|', 16 * mib);
  simulator::bomb_frame("ConsultarSAT", "", 'A', 1024 * mib);

  using simulator::Fault;
  const Measured legit16 = measure(**module, self, address, {.fault = Fault::HugeAnswer, .huge_bytes = 16 * mib});
  const Measured field_bomb = measure(**module, self, address, {.fault = Fault::FieldBomb, .field_bomb_bytes = 16 * mib});
  const Measured legit8 = measure(**module, self, address, {.fault = Fault::HugeAnswer, .huge_bytes = 8 * mib});
  const Measured zlib_bomb = measure(**module, self, address, {.fault = Fault::ZlibBomb, .zlib_bomb_bytes = 1024 * mib});

  // The legitimate answer: the ordinary fields, then one field of 8 MiB of "A".
  const bool intact = legit8.length == consulted.size() + 1 + 8 * mib && legit8.first_non_filler == std::string::npos &&
                      consulted.starts_with(legit8.head.substr(0, 20));

  std::printf("name value unit baseline ratio goal verdict\n");
  print_line("decode_field_bomb_16MiB_peak_added", field_bomb.added_mib, "MiB", legit16.added_mib, "<64MiB",
             field_bomb.added_mib < 64);
  print_line("decode_field_bomb_16MiB_seconds", field_bomb.seconds, "s", legit16.seconds, "-", true);
  print_line("decode_zlib_bomb_1GiB_peak_added", zlib_bomb.added_mib, "MiB", legit8.added_mib, "<128MiB",
             zlib_bomb.added_mib < 128);
  print_line("decode_zlib_bomb_1GiB_seconds", zlib_bomb.seconds, "s", legit8.seconds, "<5s", zlib_bomb.seconds < 5);
  print_line("decode_legit_8MiB_intact", intact ? 1 : 0, "bool", 1, "=1", intact);
  std::fprintf(stderr, "# results: field bomb %zu bytes, zlib bomb %zu bytes (\"%s\"), legit 8 MiB %zu bytes\n",
               field_bomb.length, zlib_bomb.length, zlib_bomb.head.c_str(), legit8.length);
  std::fflush(stdout);
  std::_Exit(0);
}
