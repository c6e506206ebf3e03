// The heartbeat loop: probing, beating at the prescribed interval, and back
// to probing after any failure.
#include "heartbeat/heartbeat_fixture.h"

namespace tavik::testing {
namespace {

using Warnings = std::vector<std::string>;

struct IntervalCase {
  const char* name;
  std::vector<ReadStep> first_answer;
  // Protocol seconds from the first HeartBeatPDV to the second.
  double min_gap;
  double max_gap;
  Warnings warnings;
};

const Warnings unreadable = {"[WARN] Failed to parse HB wait time: Protocol (Protocol)",
                             "[WARN] Failed to handle Heart Beat PDV message: Protocol"};

class HeartbeatIntervalTest : public HeartbeatTest, public ::testing::WithParamInterface<IntervalCase> {};

TEST_P(HeartbeatIntervalTest, NextHeartbeatFollowsTheAnswer) {
  const IntervalCase& c = GetParam();
  plug_module({c.first_answer, answer(0, {"100000"})});
  const auto started = clock_.now();
  mfe::heartbeat::start_heartbeat(seams());
  ASSERT_TRUE(eventually([&] { return beats().size() >= 2; }));
  mfe::heartbeat::stop_heartbeat_thread();

  const auto sent = beats();
  EXPECT_GE(seconds_between(started, sent[0]), 5.0) << "the first beat waits for a probe and 5 s";
  const double gap = seconds_between(sent[0], sent[1]);
  EXPECT_GE(gap, c.min_gap);
  EXPECT_LT(gap, c.max_gap);
  for (const auto& line : c.warnings) EXPECT_EQ(log_.count(line), 1u) << line << "\n" << log_.text();
  if (c.warnings.empty()) {
    EXPECT_EQ(log_.count("[WARN]"), 0u);
    EXPECT_EQ(probe_starts().size(), 1u);
  } else {
    EXPECT_EQ(probe_starts().size(), 2u) << "a failure goes back to probing";
  }
}

// Beating goes on after N - 5 seconds (at once for 5 or less); a failure
// waits 5 s, probes, and waits 5 s more.
INSTANTIATE_TEST_SUITE_P(
    Answers, HeartbeatIntervalTest,
    ::testing::Values(
        IntervalCase{"sixty", answer(0, {"60"}), 55, 57, {}},
        IntervalCase{"plus_sixty", answer(0, {"+60"}), 55, 57, {}},
        IntervalCase{"more_fields", answer(0, {"60", "x"}), 55, 57, {}},
        IntervalCase{"zero", answer(0, {"0"}), 0, 1, {}},
        IntervalCase{"three", answer(0, {"3"}), 0, 1, {}},
        IntervalCase{"five", answer(0, {"5"}), 0, 1, {}},
        IntervalCase{"minus_sixty", answer(0, {"-60"}), 9.5, 1e9, unreadable},
        IntervalCase{"fraction", answer(0, {"1.5"}), 9.5, 1e9, unreadable},
        IntervalCase{"empty", answer(123, {""}), 9.5, 1e9, unreadable},
        IntervalCase{"session_then_text", answer(30, {"x"}), 9.5, 1e9, unreadable},
        IntervalCase{"beyond_64_bits", answer(0, {"18446744073709551616"}), 9.5, 1e9, unreadable},
        IntervalCase{"no_answer",
                     {timed_out()},
                     9.5,
                     1e9,
                     {"[ERROR] Failed to send HeartBeatPDV: ", "[WARN] Failed to handle Heart Beat PDV message: "}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(HeartbeatTest, LargestIntervalSendsNoMoreHeartbeats) {
  plug_module({answer(0, {"18446744073709551615"})});
  mfe::heartbeat::start_heartbeat(seams());
  ASSERT_TRUE(eventually([&] { return beats().size() == 1; }));
  const auto first = beats()[0];
  ASSERT_TRUE(eventually([&] { return seconds_between(first, clock_.now()) > 1000; }));
  EXPECT_EQ(beats().size(), 1u);
  EXPECT_EQ(log_.count("[WARN]"), 0u);
}

TEST_F(HeartbeatTest, WithoutModuleProbesAgainAfterEachFailure) {
  // No TCP opener: every probe fails with DeviceNotFound.
  mfe::heartbeat::start_heartbeat(seams());
  ASSERT_TRUE(eventually([&] { return probe_starts().size() >= 4; }));
  mfe::heartbeat::stop_heartbeat_thread();

  const auto probes = probe_starts();
  for (std::size_t i = 1; i < probes.size(); ++i) EXPECT_GT(seconds_between(probes[i - 1], probes[i]), 5.0);
  EXPECT_EQ(log_.count("Sending MFE msg"), 0u);
  EXPECT_EQ(log_.count("[WARN]"), 0u);
}

TEST_F(HeartbeatTest, ProbeThatCannotStartIsRetried) {
  plug_module({answer(0, {"100000"})});
  HeartbeatSeams s = seams();
  auto failures = std::make_shared<std::atomic<int>>(2);
  s.start_thread = [failures, start = s.start_thread](ThreadRole role, std::function<void()> body) {
    if (role == ThreadRole::Probe && failures->fetch_sub(1) > 0)
      throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
    return start(role, std::move(body));
  };
  mfe::heartbeat::start_heartbeat(s);
  ASSERT_TRUE(eventually([&] { return beats().size() == 1; }));
  EXPECT_EQ(log_.count("[WARN]", "Failed to start connection probe thread"), 2u);
}

TEST_F(HeartbeatTest, SecondStartOnlyLogsAndSetsTheNetworkMethod) {
  mfe::heartbeat::start_heartbeat(seams());
  mfe::heartbeat::start_heartbeat(seams());
  EXPECT_TRUE(kovo_base::connection::network_mode());
  ASSERT_TRUE(eventually([&] { return log_.count("Starting HeartBeater thread") == 1; }));
  EXPECT_EQ(log_.count("[TRACE]", "mfe::background", "Hearty Beat thread already started"), 1u);
  EXPECT_EQ(heartbeat_threads(), 1u);
}

TEST_F(HeartbeatTest, ThreadThatCannotStartIsLoggedAndLaterStartsWork) {
  HeartbeatSeams failing = seams();
  failing.start_thread = [](ThreadRole, std::function<void()>) -> std::thread {
    throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
  };
  mfe::heartbeat::start_heartbeat(failing);
  EXPECT_EQ(log_.count("[ERROR]", "Failed to start HeartBeater thread"), 1u);
  EXPECT_TRUE(kovo_base::connection::network_mode());
  EXPECT_EQ(mfe::heartbeat::stop_heartbeat_thread(), nullptr);
  EXPECT_EQ(log_.count("Failed to cancel") + log_.count("Clean closed"), 0u) << "the slot stayed empty";

  mfe::heartbeat::start_heartbeat(seams());
  EXPECT_TRUE(eventually([&] { return log_.count("Starting HeartBeater thread") == 1; }));
}

}  // namespace
}  // namespace tavik::testing
