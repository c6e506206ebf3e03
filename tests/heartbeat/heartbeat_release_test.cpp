// The release's wait for the connection probes that the heartbeat thread
// left running: it sees them end, starts no new one once the shutdown signal
// is up, and gives up after its bound on one that does not end.
#include <condition_variable>

#include "heartbeat/heartbeat_fixture.h"
#include "mfe/heartbeat/connection_probe.h"
#include "platform/unload_state.h"

namespace tavik::testing {
namespace {

class ProbeRelease : public HeartbeatTest {
 protected:
  void TearDown() override {
    gate_->open();
    mfe::heartbeat::wait_for_probes(20s);
    platform::testing::lower_shutdown();
    HeartbeatTest::TearDown();
  }
  // A probe whose opening hangs until the gate opens; the heartbeat stopped.
  void leave_a_probe_running() {
    kovo_base::connection::set_opener(kovo_base::connection::HandleKind::Tcp, [gate = gate_] {
      gate->wait();
      return kovo_base::Result<kovo_base::connection::Handle>(
          std::unexpected(kovo_base::ConnectionError::device_not_found()));
    });
    mfe::heartbeat::start_heartbeat(seams());
    ASSERT_TRUE(eventually([&] { return gate_->someone_waiting(); }));
    platform::raise_shutdown();
    ASSERT_EQ(mfe::heartbeat::stop_heartbeat_thread(), nullptr);
  }
  std::shared_ptr<Gate> gate_ = std::make_shared<Gate>();
};

TEST_F(ProbeRelease, WaitsForAProbeThatEndsWithinTheBound) {
  leave_a_probe_running();
  std::thread opener([gate = gate_] {
    std::this_thread::sleep_for(100ms);
    gate->open();
  });
  EXPECT_EQ(mfe::heartbeat::wait_for_probes(10s), 0u);
  opener.join();
  EXPECT_EQ(log_.count("[WARN]"), 0u) << log_.text();
  EXPECT_EQ(probe_starts().size(), 1u);
}

TEST_F(ProbeRelease, GivesUpOnAProbeThatDoesNotEnd) {
  leave_a_probe_running();
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(mfe::heartbeat::wait_for_probes(50ms), 1u);
  EXPECT_LT(std::chrono::steady_clock::now() - start, 2s);
  EXPECT_EQ(log_.count("[WARN]", "Failed to clean close connection probe thread: StillRunning"),
            1u)
      << log_.text();
}

TEST_F(ProbeRelease, NoProbeStartsOnceTheSignalIsUp) {
  platform::raise_shutdown();
  mfe::heartbeat::start_heartbeat(seams());
  // The thread runs through several 5 s checks without starting a probe.
  ASSERT_TRUE(eventually([&, since = clock_.now()] { return seconds_between(since, clock_.now()) > 20; }));
  EXPECT_EQ(mfe::heartbeat::stop_heartbeat_thread(), nullptr);
  EXPECT_TRUE(probe_starts().empty());
  EXPECT_EQ(mfe::heartbeat::wait_for_probes(1s), 0u);
}

}  // namespace
}  // namespace tavik::testing
