// The library's release raises a shutdown signal; the long network waits of
// a connection probe (a beacon receive of up to 70 s, a connect of up to
// 10 s) must then end promptly, while they keep their full time-outs
// otherwise.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <array>
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "kovo_base/tcp/discovery.h"
#include "log_capture.h"
#include "platform/socket_wake.h"
#include "platform/sockets.h"
#include "platform/unload_state.h"
#include "simulator/simulator.h"
#include "tcp_fixture.h"

namespace tavik::testing {
namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

double seconds_since(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

class ReleaseInterrupts : public ModelsFixture {
 protected:
  void SetUp() override {
    ModelsFixture::SetUp();
    auto probe = platform::bind_udp({{0, 0, 0, 0}, 0});
    port_ = platform::local_address(probe.value()).value().port;
  }
  void TearDown() override {
    platform::testing::lower_shutdown();
    ModelsFixture::TearDown();
  }
  std::uint16_t port_ = 0;
  LogCapture log_;
};

TEST_F(ReleaseInterrupts, SilentDiscoveryEndsSoonAfterTheSignal) {
  kovo_base::tcp::testing::set_network_settings({.beacon_port = port_, .beacon_receive_timeout = 30s});
  const auto start = Clock::now();
  auto found = std::async(std::launch::async, [] { return kovo_base::tcp::discover_tcp_devices(); });
  std::this_thread::sleep_for(250ms);
  platform::raise_shutdown();
  ASSERT_EQ(found.wait_for(2s), std::future_status::ready) << "discovery still waiting";
  EXPECT_LT(seconds_since(start), 1.5);
  auto list = found.get();
  ASSERT_TRUE(list) << list.error().debug();
  EXPECT_TRUE(list->empty());
  EXPECT_EQ(log_.count("[DEBUG]", "kovo_base::connection::tcp", "All available devices list []"), 1u);
}

TEST_F(ReleaseInterrupts, WithoutTheSignalABeaconAfterSeveralSlicesIsHeard) {
  kovo_base::tcp::testing::set_network_settings({.beacon_port = port_, .beacon_receive_timeout = 5s});
  auto found = std::async(std::launch::async, [] { return kovo_base::tcp::discover_tcp_devices(); });
  std::this_thread::sleep_for(450ms);
  simulator::SimulatorOptions options;
  options.serve_tls = false;
  options.beacon = simulator::BeaconOptions{"127.0.0.1", port_, 20ms};
  auto module = simulator::Simulator::start(options);
  ASSERT_TRUE(module) << module.error();
  auto list = found.get();
  ASSERT_TRUE(list) << list.error().debug();
  EXPECT_EQ(list->size(), 2u);
}

// A listener whose accept queue is full: a further connect hears nothing.
struct SilentListener {
  SilentListener() {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    socklen_t length = sizeof at;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0 || ::listen(listener, 0) != 0 ||
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length) != 0) {
      return;
    }
    port = ntohs(at.sin_port);
    filler = ::socket(AF_INET, SOCK_STREAM, 0);
    if (::connect(filler, reinterpret_cast<sockaddr*>(&at), sizeof at) != 0) port = 0;
  }
  ~SilentListener() {
    ::close(filler);
    ::close(listener);
  }
  int listener = -1;
  int filler = -1;
  std::uint16_t port = 0;
};

TEST_F(ReleaseInterrupts, ConnectThatHearsNothing) {
  struct Case {
    std::chrono::milliseconds timeout;
    bool signal;  // raised after 250 ms
    kovo_base::IoKind expected;
    double at_most_s;
  };
  for (const Case& c : {Case{30'000ms, true, kovo_base::IoKind::Interrupted, 1.5},
                        Case{400ms, false, kovo_base::IoKind::TimedOut, 1.5}}) {
    SCOPED_TRACE(c.signal ? "signal" : "time-out");
    platform::testing::lower_shutdown();
    SilentListener silent;
    ASSERT_NE(silent.port, 0);
    const auto start = Clock::now();
    auto connected = std::async(std::launch::async, [&] {
      return platform::connect_tcp({{127, 0, 0, 1}, silent.port}, c.timeout);
    });
    std::this_thread::sleep_for(250ms);
    if (c.signal) platform::raise_shutdown();
    ASSERT_EQ(connected.wait_for(3s), std::future_status::ready) << "connect still waiting";
    auto socket = connected.get();
    ASSERT_FALSE(socket) << "the connect went through";
    EXPECT_EQ(socket.error().kind, c.expected) << socket.error().debug();
    const double took = seconds_since(start);
    EXPECT_LT(took, c.at_most_s);
    if (!c.signal) {
      EXPECT_GE(took, 0.39) << "ended before its time-out";
    }
  }
}

// A listener on loopback that accepts every connection made to it.
struct OpenListener {
  OpenListener() {
    sockaddr_in at{};
    at.sin_family = AF_INET;
    at.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    listener = ::socket(AF_INET, SOCK_STREAM, 0);
    socklen_t length = sizeof at;
    if (::bind(listener, reinterpret_cast<sockaddr*>(&at), sizeof at) == 0 && ::listen(listener, 8) == 0 &&
        ::getsockname(listener, reinterpret_cast<sockaddr*>(&at), &length) == 0) {
      port = ntohs(at.sin_port);
    }
  }
  ~OpenListener() { ::close(listener); }
  // A connected socket; its peer stays in the accept queue.
  platform::Socket connect() {
    auto socket = platform::connect_tcp({{127, 0, 0, 1}, port}, 1000ms);
    EXPECT_TRUE(socket) << socket.error().debug();
    if (socket) platform::set_receive_timeout(*socket, 3s);  // bounds the test if nothing wakes it
    return socket ? std::move(*socket) : platform::Socket();
  }
  int listener = -1;
  std::uint16_t port = 0;
};

TEST_F(ReleaseInterrupts, WakeEndsBlockedReceivesOnRegisteredSocketsOnly) {
  OpenListener host;
  ASSERT_NE(host.port, 0);
  platform::Socket waiting = host.connect();
  platform::Socket forgotten = host.connect();
  platform::Socket late = host.connect();  // registered only after the wake
  const platform::WakeRegistration registered(waiting);
  { const platform::WakeRegistration gone(forgotten); }

  const auto start = Clock::now();
  auto received = std::async(std::launch::async, [&] {
    std::array<std::uint8_t, 16> buffer{};
    return platform::receive_some(waiting, buffer);
  });
  std::this_thread::sleep_for(200ms);
  platform::raise_shutdown();
  EXPECT_EQ(platform::wake_blocked_sockets(), 1u);
  ASSERT_EQ(received.wait_for(2s), std::future_status::ready) << "the receive was not woken";
  auto got = received.get();
  ASSERT_TRUE(got) << got.error().debug();
  EXPECT_EQ(*got, 0u) << "a woken receive reads the end of the stream";
  EXPECT_LT(seconds_since(start), 1.0);

  // Its registration gone, a socket is left alone: it still waits its time-out.
  std::array<std::uint8_t, 16> buffer{};
  auto still = platform::receive_some(forgotten, buffer);
  ASSERT_FALSE(still);
  EXPECT_EQ(still.error().kind, kovo_base::IoKind::WouldBlock);

  // Registered after the wake: shut down at once, it never blocks.
  const platform::WakeRegistration late_registered(late);
  const auto late_start = Clock::now();
  auto late_got = platform::receive_some(late, buffer);
  ASSERT_TRUE(late_got) << late_got.error().debug();
  EXPECT_EQ(*late_got, 0u);
  EXPECT_LT(seconds_since(late_start), 1.0);
}

}  // namespace
}  // namespace tavik::testing
