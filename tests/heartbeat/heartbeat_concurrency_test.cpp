// Starts that race each other agree on one heartbeat thread.
#include "heartbeat/heartbeat_fixture.h"

namespace tavik::testing {
namespace {

TEST_F(HeartbeatTest, ConcurrentStartsCreateOneThread) {
  constexpr int callers = 8;
  const HeartbeatSeams s = seams();
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int i = 0; i < callers; ++i) {
    threads.emplace_back([&] {
      while (!go.load()) std::this_thread::yield();
      mfe::heartbeat::start_heartbeat(s);
    });
  }
  go.store(true);
  for (auto& t : threads) t.join();

  EXPECT_EQ(heartbeat_threads(), 1u);
  EXPECT_EQ(log_.count("Hearty Beat thread already started"), static_cast<std::size_t>(callers - 1));
  EXPECT_TRUE(kovo_base::connection::network_mode());
  EXPECT_EQ(mfe::heartbeat::stop_heartbeat_thread(), nullptr);
  EXPECT_EQ(log_.count("Clean closed HeartBeater thread"), 1u);
}

TEST_F(HeartbeatTest, StartAndStopRacingLeaveNoThreadBehind) {
  for (int round = 0; round < 20; ++round) {
    std::thread starter([&] { mfe::heartbeat::start_heartbeat(seams()); });
    std::thread stopper([] {
      if (auto left = mfe::heartbeat::stop_heartbeat_thread()) left->wait_for(20s);
    });
    starter.join();
    stopper.join();
    // Whichever came second, one more stop leaves the slot empty and every
    // thread ended.
    EXPECT_EQ(mfe::heartbeat::stop_heartbeat_thread(), nullptr);
  }
  EXPECT_EQ(log_.count("[WARN]"), 0u);
}

}  // namespace
}  // namespace tavik::testing
