// Stopping the heartbeat thread: promptly while it waits, never waiting for
// a probe, bounded while an exchange hangs, and the abnormal ends.
#include <condition_variable>

#include "heartbeat/heartbeat_fixture.h"

namespace tavik::testing {
namespace {

TEST_F(HeartbeatTest, StopWithoutThreadLogsNothing) {
  const std::string before = log_.text();
  EXPECT_EQ(mfe::heartbeat::stop_heartbeat_thread(), nullptr);
  mfe::stop_heartbeat();
  EXPECT_EQ(log_.text(), before);
}

TEST_F(HeartbeatTest, StopIsNoticedWithinATick) {
  plug_module({answer(0, {"100000"})});
  mfe::heartbeat::start_heartbeat(seams());
  ASSERT_TRUE(eventually([&] { return beats().size() == 1; }));

  const auto asked = clock_.now();
  EXPECT_EQ(mfe::heartbeat::stop_heartbeat_thread(), nullptr) << "the thread ended";
  EXPECT_LT(seconds_between(asked, clock_.now()), 2.0);
  EXPECT_EQ(log_.count("[TRACE]", "mfe::background", "Clean closed HeartBeater thread"), 1u);
  EXPECT_EQ(log_.count("[WARN]"), 0u);
  // Stopped once: the slot is empty again.
  mfe::stop_heartbeat();
  EXPECT_EQ(log_.count("Clean closed"), 1u);
}

TEST_F(HeartbeatTest, StopIsNoticedWhenTheModulePrescribesShortIntervals) {
  // Intervals of 5 s or less send the next heartbeat at once, again and again.
  plug_module({answer(0, {"1"})});
  mfe::heartbeat::start_heartbeat(seams());
  ASSERT_TRUE(eventually([&] { return beats().size() >= 3; }));
  EXPECT_EQ(mfe::heartbeat::stop_heartbeat_thread(), nullptr) << "the thread ended";
  EXPECT_EQ(log_.count("Clean closed HeartBeater thread"), 1u);
  EXPECT_EQ(log_.count("[WARN]"), 0u);
}

TEST_F(HeartbeatTest, StopDoesNotWaitForAProbeInProgress) {
  Gate opening;
  ScriptedDevice device;
  kovo_base::connection::set_opener(kovo_base::connection::HandleKind::Tcp, [&] {
    opening.wait();
    return device.open_tcp();
  });
  mfe::heartbeat::start_heartbeat(seams());
  ASSERT_TRUE(eventually([&] { return opening.someone_waiting(); }));
  // The thread goes on waiting 5 s at a time while the probe hangs.
  ASSERT_TRUE(eventually([&, since = clock_.now()] { return seconds_between(since, clock_.now()) > 20; }));

  const auto asked = clock_.now();
  EXPECT_EQ(mfe::heartbeat::stop_heartbeat_thread(), nullptr);
  EXPECT_LT(seconds_between(asked, clock_.now()), 2.0);
  EXPECT_EQ(log_.count("Clean closed HeartBeater thread"), 1u);
  EXPECT_EQ(probe_starts().size(), 1u) << "one probe in progress at a time";

  // The probe runs on to its own end after the thread has gone.
  opening.open();
  EXPECT_TRUE(eventually([] { return kovo_base::connection::ConnectionSlot::process_slot().holds_handle(); }));
  // Closed while the device it reads from still exists.
  kovo_base::connection::drop_connection();
}

TEST_F(HeartbeatTest, StopGivesUpOnAHangingExchange) {
  plug_module({answer(0, {"100000"})});
  auto exchange = std::make_shared<Gate>();
  HeartbeatSeams s = seams();
  s.stop_wait_limit = 50ms;
  s.send_heartbeat = [exchange] {
    exchange->wait();
    return kovo_base::Result<codec::MfeBody>(std::unexpected(kovo_base::ConnectionError::connection()));
  };
  mfe::heartbeat::start_heartbeat(s);
  ASSERT_TRUE(eventually([&] { return exchange->someone_waiting(); }));

  auto left = mfe::heartbeat::stop_heartbeat_thread();
  ASSERT_NE(left, nullptr);
  EXPECT_EQ(log_.count("[WARN]", "Failed to clean close HeartBeater thread: StillRunning"), 1u);
  EXPECT_EQ(log_.count("Clean closed"), 0u);

  // Once the exchange ends, the thread finds the stop request and ends.
  exchange->open();
  EXPECT_TRUE(left->wait_for(20s));
  EXPECT_FALSE(left->failure());
}

TEST_F(HeartbeatTest, ThreadThatEndedAbnormallyCannotBeCancelled) {
  plug_module({answer(0, {"100000"})});
  HeartbeatSeams s = seams();
  s.send_heartbeat = []() -> kovo_base::Result<codec::MfeBody> { throw std::runtime_error("boom"); };
  auto ended = std::make_shared<std::atomic<bool>>(false);
  s.start_thread = [ended, start = s.start_thread](ThreadRole role, std::function<void()> body) {
    if (role == ThreadRole::Probe) return start(role, std::move(body));
    return start(role, [body = std::move(body), ended]() mutable {
      body();
      ended->store(true);
    });
  };
  mfe::heartbeat::start_heartbeat(s);
  ASSERT_TRUE(eventually([&] { return ended->load(); }));

  EXPECT_NE(mfe::heartbeat::stop_heartbeat_thread(), nullptr) << "released without waiting";
  EXPECT_EQ(log_.count("[WARN]", "Failed to cancel HeartBeater thread: ReceiverGone"), 1u);
  EXPECT_EQ(log_.count("Clean closed"), 0u);
}

TEST_F(HeartbeatTest, AbnormalEndAfterTheStopIsReported) {
  plug_module({answer(0, {"100000"})});
  auto exchange = std::make_shared<Gate>();
  HeartbeatSeams s = seams();
  s.send_heartbeat = [exchange]() -> kovo_base::Result<codec::MfeBody> {
    exchange->wait();
    throw std::runtime_error("boom");
  };
  mfe::heartbeat::start_heartbeat(s);
  ASSERT_TRUE(eventually([&] { return exchange->someone_waiting(); }));

  std::thread opener([&] {
    std::this_thread::sleep_for(20ms);
    exchange->open();
  });
  EXPECT_EQ(mfe::heartbeat::stop_heartbeat_thread(), nullptr);
  opener.join();
  EXPECT_EQ(log_.count("[WARN]", "Failed to clean close HeartBeater thread: Exception(\"boom\")"), 1u);
  EXPECT_EQ(log_.count("[TRACE]", "Clean closed HeartBeater thread"), 1u);
}

}  // namespace
}  // namespace tavik::testing
