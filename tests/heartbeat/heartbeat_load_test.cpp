// The heartbeat that the load starts when the settings name the network: its
// first probe must find the TCP transport ready, so that the first
// HeartBeatPDV goes out 5 to 6 s after the start, every time. Runs the real
// library_init in this process (a program of its own: the load's state is
// process-wide) with the heartbeat's clock, threads and send replaced.
#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <optional>
#include <vector>

#include "connection/scripted_device.h"
#include "heartbeat/heartbeat_fixture.h"
#include "kovo_base/tcp/tcp_models.h"
#include "mfe/lifecycle.h"

namespace tavik::testing {
namespace {

namespace fs = std::filesystem;

// Protocol time only: each sleep moves it on, nothing else does.
class ManualClock {
 public:
  Clock::time_point now() const { return Clock::time_point(Clock::duration(elapsed_.load())); }
  void sleep(Clock::duration d) { elapsed_ += d.count(); }

 private:
  std::atomic<Clock::rep> elapsed_{0};
};

struct Observed {
  std::mutex lock;
  std::optional<std::size_t> models_at_heartbeat_start;
  std::optional<std::size_t> models_at_first_probe;
  std::optional<Clock::time_point> heartbeat_started;
  std::vector<Clock::time_point> beats;
};

TEST(HeartbeatAtLoad, FirstHeartbeatFollowsFiveToSixSecondsAfterTheStart) {
  const fs::path dir = fs::temp_directory_path() / ("tavik-heartbeat-load-" + std::to_string(::getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "mfe-config.ini") << "[connection]\nmethod=Network\n";
  ASSERT_EQ(::chdir(dir.c_str()), 0);

  ManualClock clock;
  Observed seen;
  ScriptedDevice module;
  HeartbeatSeams seams = HeartbeatSeams::real();
  seams.now = [&] { return clock.now(); };
  seams.sleep = [&](Clock::duration d) { clock.sleep(d); };
  seams.start_thread = [&](ThreadRole role, std::function<void()> body) {
    const std::size_t models = kovo_base::tcp::tcp_models().size();
    if (role == ThreadRole::Heartbeat) {
      {
        std::lock_guard lock(seen.lock);
        seen.models_at_heartbeat_start = models;
        seen.heartbeat_started = clock.now();
      }
      return std::thread(std::move(body));
    }
    {
      std::lock_guard lock(seen.lock);
      if (!seen.models_at_first_probe) seen.models_at_first_probe = models;
    }
    // Once registered, the TCP transport reaches the module without a
    // network. The probe runs to its end before the heartbeat looks at it,
    // so real time plays no part.
    if (models > 0) {
      kovo_base::connection::set_opener(kovo_base::connection::HandleKind::Tcp, [&] { return module.open_tcp(); });
    }
    body();
    return std::thread();
  };
  seams.send_heartbeat = [&]() -> kovo_base::Result<codec::MfeBody> {
    std::lock_guard lock(seen.lock);
    seen.beats.push_back(clock.now());
    codec::MfeBody answer;
    answer.code = codec::MfeMessageType::HeartBeatPDV;
    answer.fields.contents = {"3600"};
    return answer;
  };
  mfe::heartbeat::replace_library_seams(seams);

  mfe::library_init();
  ASSERT_TRUE(eventually([&] {
    std::lock_guard lock(seen.lock);
    return !seen.beats.empty();
  }));
  if (auto left = mfe::heartbeat::stop_heartbeat_thread()) left->wait_for(20s);
  fs::remove_all(dir);

  std::lock_guard lock(seen.lock);
  EXPECT_EQ(seen.models_at_heartbeat_start, 2u) << "the heartbeat started before the models were registered";
  EXPECT_EQ(seen.models_at_first_probe, 2u);
  ASSERT_TRUE(seen.heartbeat_started);
  const double first = seconds_between(*seen.heartbeat_started, seen.beats.front());
  EXPECT_GT(first, 5.0);
  EXPECT_LE(first, 6.0);
}

}  // namespace
}  // namespace tavik::testing
