// Unloading the real shared library while one of its threads (or a host
// thread inside an export) is blocked on a module that misbehaves: a silent
// HeartBeatPDV, a handshake with a host that never speaks TLS, a write to a
// module that stopped reading. dlclose wakes the thread and returns within
// 3 s, no thread of the library is left, the host goes on, a result text it
// already holds stays readable, and loading the library again reaches the
// module afresh. Each scenario runs in a child process.
#include <arpa/inet.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#include <openssl/ssl.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <thread>

#include <gtest/gtest.h>

#include "e2e_tcp/child_process.h"
#include "e2e_tcp/module_log.h"
#include "private_network.h"
#include "simulator/tls_contexts.h"
#include "taviksat/taviksat.h"

namespace tavik::e2e {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using simulator::Fault;

// dlclose must return within this, whatever the library's threads were doing.
constexpr auto unload_limit = 3000ms;

std::string read_text(const fs::path& path) {
  std::ifstream file(path);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

std::size_t thread_count() {
  std::size_t n = 0;
  for ([[maybe_unused]] const auto& task : fs::directory_iterator("/proc/self/task")) ++n;
  return n;
}

bool library_mapped() { return read_text("/proc/self/maps").find("libtaviksat") != std::string::npos; }

bool eventually(const std::function<bool()>& pred, std::chrono::milliseconds limit) {
  const auto deadline = Clock::now() + limit;
  while (!pred()) {
    if (Clock::now() > deadline) return false;
    std::this_thread::sleep_for(10ms);
  }
  return true;
}

// The library loaded by hand (no settings file, log at trace level), so that
// the test can unload it and load it again.
class HandLoaded {
 public:
  HandLoaded() : dir_(fs::temp_directory_path() / ("tavik-e2e-unload-" + std::to_string(::getpid()))) {
    fs::create_directories(dir_);
    if (::chdir(dir_.c_str()) != 0) ADD_FAILURE() << "cannot enter " << dir_;
    ::setenv("LOG_LEVEL_MFE", "trace", 1);
    ::setenv("LOG_FILE_MFE", (dir_ / "mfe.log").c_str(), 1);
  }
  ~HandLoaded() {
    if (::testing::Test::HasFailure()) std::cout << "--- library log ---\n" << read_text(dir_ / "mfe.log");
    std::error_code ignored;
    fs::remove_all(dir_, ignored);
  }

  bool load() {
    handle_ = ::dlopen(TAVIK_LIBRARY_PATH, RTLD_NOW | RTLD_LOCAL);
    return handle_ != nullptr;
  }
  // How long dlclose took.
  std::chrono::milliseconds unload() {
    const auto asked = Clock::now();
    ::dlclose(std::exchange(handle_, nullptr));
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - asked);
  }
  template <class F>
  F* get(const char* name) {
    return reinterpret_cast<F*>(::dlsym(handle_, name));
  }
  std::string log() const { return read_text(dir_ / "mfe.log"); }

 private:
  fs::path dir_;
  void* handle_ = nullptr;
};

// A listener on address:9014 that accepts one connection and then, on its
// own thread, runs serve on it until the test ends.
class OneConnectionHost {
 public:
  OneConnectionHost(const char* address, std::function<void(int, const std::atomic<bool>&)> serve) {
    listener_ = ::socket(AF_INET, SOCK_STREAM, 0);
    const int on = 1;
    ::setsockopt(listener_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on);
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_port = htons(9014);
    ::inet_pton(AF_INET, address, &at.sin_addr);
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(listener_, 4) != 0) {
      ADD_FAILURE() << "cannot listen on " << address << ":9014";
      return;
    }
    thread_ = std::thread([this, serve] {
      pollfd waiting{listener_, POLLIN, 0};
      while (!stopping_ && ::poll(&waiting, 1, 50) == 0) {
      }
      if (stopping_) return;
      const int connection = ::accept(listener_, nullptr, nullptr);
      if (connection >= 0) serve(connection, stopping_);
      while (!stopping_) std::this_thread::sleep_for(10ms);
      if (connection >= 0) ::close(connection);
    });
  }
  ~OneConnectionHost() {
    stop();
    ::close(listener_);
  }
  void stop() {
    stopping_ = true;
    if (thread_.joinable()) thread_.join();
  }

 private:
  int listener_ = -1;
  std::atomic<bool> stopping_{false};
  std::thread thread_;
};

// The bytes of a ClientHello reaching a host that never answers them.
bool readable_within(int socket, std::chrono::milliseconds limit) {
  pollfd waiting{socket, POLLIN, 0};
  return ::poll(&waiting, 1, static_cast<int>(limit.count())) == 1;
}

using FiltraMFEIpFn = int(const char*);
using ConsultarSATFn = const char*(int);
using EnviarDadosVendaFn = const char*(int, const char*, const char*);

std::string consulted(int session) { return codec::format_session_number(session) + "|08000|SAT em Operação||"; }

// After the unload: it was prompt, the library is gone and no thread of it is
// left (the test's own helpers have been stopped by then).
void expect_clean_unload(std::chrono::milliseconds took) {
  std::cout << "dlclose took " << took.count() << " ms" << std::endl;
  EXPECT_LT(took, unload_limit) << "dlclose took " << took.count() << " ms";
  EXPECT_FALSE(library_mapped());
  std::this_thread::sleep_for(500ms);  // a thread left in unmapped code would crash meanwhile
}

TEST(UnloadDuringExchange, SilentHeartbeatThenLoadAgain) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child([] {
    const std::size_t threads_before = thread_count();  // a sanitizer may have its own
    ModuleLog module_log;
    auto module = start_module({.address = "127.0.0.2", .fault = {.fault = Fault::NeverAnswer}}, module_log);
    ASSERT_TRUE(module);
    HandLoaded library;
    ASSERT_TRUE(library.load());
    ASSERT_EQ(library.get<FiltraMFEIpFn>("FiltraMFEIp")("127.0.0.2"), 0);
    const char* held = library.get<ConsultarSATFn>("ConsultarSAT")(4321);  // unanswered: "timeout"
    const std::string held_copy = held;
    ASSERT_TRUE(module_log.wait_for("<- HeartBeatPDV", 1, 15s)) << "no HeartBeatPDV was sent";
    std::this_thread::sleep_for(200ms);  // into the read of the answer

    const auto took = library.unload();
    EXPECT_EQ(std::string(held), held_copy) << "a result text handed out did not stay valid";
    module.reset();  // its threads end with the connection the unload closed
    expect_clean_unload(took);
    EXPECT_EQ(thread_count(), threads_before) << "a library thread outlived the unload";

    // Loading again starts afresh and reaches the module.
    auto answering = start_module({.address = "127.0.0.2"}, module_log);
    ASSERT_TRUE(answering);
    ASSERT_TRUE(library.load());
    ASSERT_EQ(library.get<FiltraMFEIpFn>("FiltraMFEIp")("127.0.0.2"), 0);
    EXPECT_EQ(std::string(library.get<ConsultarSATFn>("ConsultarSAT")(4322)), consulted(4322)) << library.log();
  }, std::chrono::seconds(60), LeakCheck::None);  // the library is unloaded in the scenario
}

TEST(UnloadDuringExchange, HandshakeWithAHostThatNeverSpeaksTls) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child([] {
    const std::size_t threads_before = thread_count();  // a sanitizer may have its own
    std::atomic<bool> hello{false};
    OneConnectionHost host("127.0.0.5", [&](int connection, const std::atomic<bool>& stopping) {
      while (!stopping && !hello) hello = readable_within(connection, 50ms);
    });
    HandLoaded library;
    ASSERT_TRUE(library.load());
    library.get<FiltraMFEIpFn>("FiltraMFEIp")("127.0.0.5");
    ASSERT_TRUE(eventually([&] { return hello.load(); }, 15s)) << "no handshake began";
    std::this_thread::sleep_for(200ms);  // into the wait for the server's answer

    const auto took = library.unload();
    host.stop();
    expect_clean_unload(took);
    EXPECT_EQ(thread_count(), threads_before) << "a library thread outlived the unload";
    EXPECT_EQ(library.log().find("Failed to clean close"), std::string::npos);
  }, std::chrono::seconds(60), LeakCheck::None);  // the library is unloaded in the scenario
}

TEST(UnloadDuringExchange, WriteToAModuleThatStoppedReading) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child([] {
    const std::size_t threads_before = thread_count();  // a sanitizer may have its own
    auto contexts = simulator::TlsContexts::load(simulator::default_cert_dir());
    ASSERT_TRUE(contexts) << contexts.error();
    std::atomic<int> queued{0};  // bytes waiting unread at the module
    OneConnectionHost module("127.0.0.4", [&](int connection, const std::atomic<bool>& stopping) {
      SSL* session = SSL_new(contexts->for_fault(Fault::None));
      SSL_set_fd(session, connection);
      if (SSL_accept(session) != 1) return;
      // From here on nothing is read.
      while (!stopping) {
        int pending = 0;
        ::ioctl(connection, FIONREAD, &pending);
        queued = pending;
        std::this_thread::sleep_for(10ms);
      }
      SSL_free(session);
    });
    ::setenv("LOG_LEVEL_MFE", "info", 1);  // the sale is not written to the log
    HandLoaded library;
    ASSERT_TRUE(library.load());
    library.get<void()>("DesabilitarProtocoloComprimido")();  // the sale goes out at full size
    ASSERT_EQ(library.get<FiltraMFEIpFn>("FiltraMFEIp")("127.0.0.4"), 0);
    // A host thread inside EnviarDadosVenda, its write blocked once the
    // socket buffers are full.
    std::string result;
    std::thread seller([&, send = library.get<EnviarDadosVendaFn>("EnviarDadosVenda")] {
      const std::string sale(16u << 20, 'x');
      result = send(4323, "12345678", sale.c_str());
    });
    // The queue stops growing: the module's buffers are full, the write waits.
    int seen = -1;
    ASSERT_TRUE(eventually(
        [&] {
          const int now = queued.load();
          const bool settled = now > (64 << 10) && now == seen;
          seen = now;
          return settled;
        },
        20s))
        << "the write never filled the module's buffers";

    const auto took = library.unload();
    seller.join();  // it left the export during the unload
    module.stop();
    EXPECT_EQ(result, "timeout");
    expect_clean_unload(took);
    EXPECT_EQ(thread_count(), threads_before) << "a library thread outlived the unload";
  }, std::chrono::seconds(60), LeakCheck::None);  // the library is unloaded in the scenario
}

}  // namespace
}  // namespace tavik::e2e
