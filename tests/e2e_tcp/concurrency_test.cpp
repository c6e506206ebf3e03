// Several callers on one network connection while the heartbeat runs: every
// caller gets the answer to its own session number, and the heartbeat's
// HeartBeatPDV reaches the module between the callers' exchanges.
#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_tcp/child_process.h"
#include "e2e_tcp/library.h"
#include "e2e_tcp/module_log.h"
#include "private_network.h"

namespace tavik::e2e {
namespace {

using namespace std::chrono_literals;

constexpr int callers = 4;

TEST(Concurrency, EveryCallerGetsItsOwnAnswerWhileTheHeartbeatRuns) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child(
      [] {
        ModuleLog log;
        auto module = start_module({.address = "127.0.0.2"}, log);
        ASSERT_TRUE(module);
        Library library;
        ASSERT_TRUE(library.loaded());
        const Exports& x = *library;
        // Starts the heartbeat; its first HeartBeatPDV follows 5 to 6 s later.
        ASSERT_EQ(x.FiltraMFEIp("127.0.0.2"), 0);

        std::atomic<bool> heartbeat_seen{false};
        std::atomic<int> calls{0};
        std::vector<std::thread> threads;
        std::vector<std::string> mismatches[callers];
        for (int t = 0; t < callers; ++t) {
          threads.emplace_back([&, t] {
            // Unique numbers per thread; odd calls go through the MFE path.
            for (int i = 0; !heartbeat_seen || i < 10; ++i) {
              const int session = 400000 + t * 20000 + i;
              const std::string expected = codec::format_session_number(session) + "|";
              const std::string got =
                  i % 2 == 0 ? x.ConsultarSAT(session) : x.ConsultarStatusOperacionalMFE(session, "status");
              if (!got.starts_with(expected)) mismatches[t].push_back(expected + " got " + got.substr(0, 60));
              ++calls;
              if (i > 2000) break;  // bounded, whatever happens to the heartbeat
            }
          });
        }
        heartbeat_seen = log.wait_for("<- HeartBeatPDV", 1, 15s);
        for (auto& thread : threads) thread.join();

        EXPECT_TRUE(heartbeat_seen) << "no HeartBeatPDV reached the module";
        EXPECT_GE(calls.load(), callers * 10);
        for (int t = 0; t < callers; ++t) EXPECT_TRUE(mismatches[t].empty()) << "caller " << t << ": " << mismatches[t].front();
        // The heartbeat's answer carried the module's interval.
        EXPECT_TRUE(library.log_has("HeartBeatPDV received: 000000|3600"));
      },
      std::chrono::seconds(60));
}

// A module that prescribes a heartbeat interval of 0 makes the heartbeat ask
// for the connection again the moment it gives it back; callers still get
// their turn and their own answers.
TEST(Concurrency, CallsCompleteDuringAHeartbeatStorm) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child(
      [] {
        ModuleLog log;
        ModuleSetup setup{.address = "127.0.0.2"};
        setup.device.heartbeat_interval_seconds = 0;
        auto module = start_module(setup, log);
        ASSERT_TRUE(module);
        Library library;
        ASSERT_TRUE(library.loaded());
        const Exports& x = *library;
        ASSERT_EQ(x.FiltraMFEIp("127.0.0.2"), 0);
        ASSERT_TRUE(log.wait_for("<- HeartBeatPDV", 3, 20s)) << "the heartbeat storm did not start";

        std::vector<std::string> mismatches[2];
        std::vector<std::thread> threads;
        for (int t = 0; t < 2; ++t) {
          threads.emplace_back([&, t] {
            for (int i = 0; i < 15; ++i) {
              const int session = 500000 + t * 1000 + i;
              const std::string expected = codec::format_session_number(session) + "|08000|";
              const std::string got = x.ConsultarSAT(session);
              if (!got.starts_with(expected)) mismatches[t].push_back(expected + " got " + got.substr(0, 60));
            }
          });
        }
        for (auto& thread : threads) thread.join();
        for (int t = 0; t < 2; ++t) EXPECT_TRUE(mismatches[t].empty()) << "caller " << t << ": " << mismatches[t].front();
      },
      std::chrono::seconds(90));
}

}  // namespace
}  // namespace tavik::e2e
