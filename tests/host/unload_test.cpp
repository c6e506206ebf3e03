// Unloading the real shared library while a connection probe is in one of
// its long waits (beacon discovery, a TCP connect that nobody answers): the
// unload must end every library thread before the code is unmapped, and do
// so promptly. Each scenario runs in a child process in the test's own
// network namespace (the library uses the fixed ports 9014 and 9015).
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "support/private_network.h"

namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string read_text(const fs::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

long long now_ms() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now().time_since_epoch()).count();
}

std::size_t thread_count() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& task : fs::directory_iterator("/proc/self/task")) ++n;
  return n;
}

bool library_mapped() { return read_text("/proc/self/maps").find("libtaviksat") != std::string::npos; }

// A listener at address:9014 whose accept queue is full, so that a further
// connect hears nothing back and waits for its time-out.
bool fill_accept_queue(const char* address) {
  sockaddr_in at{};
  at.sin_family = AF_INET;
  at.sin_port = htons(9014);
  ::inet_pton(AF_INET, address, &at.sin_addr);
  const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
  if (::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(listener, 0) != 0) return false;
  const int filler = ::socket(AF_INET, SOCK_STREAM, 0);
  return ::connect(filler, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0;  // both stay open
}

enum class End { Dlclose, ProcessExit };

struct Scenario {
  const char* name;
  const char* connection;  // the settings file's connection section
  const char* silent_module;  // address whose accept queue is filled, if any
  End end;
  friend void PrintTo(const Scenario& s, std::ostream* out) { *out << s.name; }
};

class Unload : public ::testing::TestWithParam<Scenario> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("tavik-unload-" + std::to_string(::getpid()) + "-" + GetParam().name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path log_path() const { return dir_ / "mfe.log"; }

  // Child: loads the library, waits until the probe opens a connection,
  // then unloads it (or exits) while the probe waits.
  [[noreturn]] void child(const Scenario& scenario) {
    if (::chdir(dir_.c_str()) != 0) _exit(3);
    std::ofstream(dir_ / "mfe-config.ini")
        << "[logging]\nlevel=trace\nfile=" << log_path().string() << "\n[connection]\n" << scenario.connection;
    if (scenario.silent_module != nullptr && !fill_accept_queue(scenario.silent_module)) _exit(5);
    void* library = ::dlopen(TAVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    if (library == nullptr) _exit(4);
    const auto deadline = Clock::now() + 10s;
    while (read_text(log_path()).find("Searching TCP device with options") == std::string::npos) {
      if (Clock::now() > deadline) _exit(6);
      std::this_thread::sleep_for(10ms);
    }
    std::this_thread::sleep_for(300ms);  // into the receive or the connect
    std::ofstream result(dir_ / "result.txt");
    if (scenario.end == End::ProcessExit) {
      result << now_ms() << std::endl;
      std::exit(0);  // the exit routines run with the probe still alive
    }
    const auto asked = Clock::now();
    ::dlclose(library);
    const auto took = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked).count();
    result << took << ' ' << thread_count() << ' ' << library_mapped() << std::endl;
    std::this_thread::sleep_for(2s);  // a thread left in unmapped code would crash meanwhile
    _exit(0);
  }

  fs::path dir_;
};

TEST_P(Unload, EndsEveryLibraryThreadPromptly) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  const Scenario& scenario = GetParam();
  const pid_t pid = ::fork();
  if (pid == 0) child(scenario);
  int status = 0;
  ::waitpid(pid, &status, 0);
  const long long ended = now_ms();
  ASSERT_TRUE(WIFEXITED(status)) << "child killed by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  ASSERT_EQ(WEXITSTATUS(status), 0);

  std::istringstream result(read_text(dir_ / "result.txt"));
  if (scenario.end == End::Dlclose) {
    long long took = -1;
    std::size_t threads = 0;
    bool mapped = true;
    result >> took >> threads >> mapped;
    EXPECT_LT(took, 2500) << "dlclose took " << took << " ms";
    EXPECT_EQ(threads, 1u) << "a library thread outlived the unload";
    EXPECT_FALSE(mapped);
  } else {
    long long exiting = 0;
    result >> exiting;
    EXPECT_LT(ended - exiting, 2500) << "exit took " << ended - exiting << " ms";
  }
  const std::string log = read_text(log_path());
  EXPECT_NE(log.find("[TRACE] mfe::background: Clean closed HeartBeater thread"), std::string::npos) << log;
  EXPECT_EQ(log.find("Failed to clean close"), std::string::npos) << log;
  EXPECT_NE(log.find("[DEBUG] mfe: Releasing library resources."), std::string::npos) << log;
}

INSTANTIATE_TEST_SUITE_P(
    ProbeWaiting, Unload,
    ::testing::Values(Scenario{"InDiscovery", "method=Network\n", nullptr, End::Dlclose},
                      Scenario{"InConnect", "method=Network\nip=127.0.0.5\n", "127.0.0.5", End::Dlclose},
                      Scenario{"InDiscoveryAtExit", "method=Network\n", nullptr, End::ProcessExit}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
