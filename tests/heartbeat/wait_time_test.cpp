// Reading the interval that the module prescribes.
#include <gtest/gtest.h>

#include <limits>

#include "connection/log_capture.h"
#include "mfe/heartbeat/heartbeat_loop.h"
#include "mfe/heartbeat/wait_time.h"

namespace tavik::testing {
namespace {

using mfe::heartbeat::parse_unsigned_decimal;

TEST(WaitTime, UnsignedDecimalTexts) {
  constexpr auto max = std::numeric_limits<std::uint64_t>::max();
  const std::pair<const char*, std::optional<std::uint64_t>> cases[] = {
      {"60", 60},  {"+60", 60},         {"0", 0},       {"007", 7},        {"18446744073709551615", max},
      {"18446744073709551616", {}},     {"-60", {}},    {"-0", {}},        {"1.5", {}},
      {"", {}},    {"+", {}},           {"++1", {}},    {"+-1", {}},       {" 60", {}},
      {"60 ", {}}, {"30x", {}},         {"x", {}},      {"0x10", {}},
  };
  for (const auto& [text, expected] : cases) EXPECT_EQ(parse_unsigned_decimal(text), expected) << '"' << text << '"';
}

TEST(WaitTime, FirstContentFieldOfTheAnswer) {
  LogCapture log;
  auto body = [](std::optional<std::int32_t> session, std::vector<std::string> contents) {
    return codec::MfeBody{codec::MfeMessageType::HeartBeatPDV, codec::Source::Lib, {session, std::move(contents)}};
  };
  EXPECT_EQ(mfe::heartbeat::heartbeat_wait_seconds(body(0, {"30", "x"})), 30u);
  EXPECT_EQ(log.count("[WARN]"), 0u);

  EXPECT_EQ(mfe::heartbeat::heartbeat_wait_seconds(body(30, {"x"})).error().kind(),
            kovo_base::ConnectionError::Kind::Protocol);
  EXPECT_EQ(log.count("[WARN] Failed to parse HB wait time: Protocol (Protocol)"), 1u);

  EXPECT_EQ(mfe::heartbeat::heartbeat_wait_seconds(body(30, {})).error().kind(),
            kovo_base::ConnectionError::Kind::Protocol);
  EXPECT_EQ(log.count("[WARN] Failed to get HB wait time field: Protocol (Protocol)"), 1u);
  EXPECT_EQ(log.count("Failed to parse"), 1u) << "a missing field is not parsed";
}

TEST(WaitTime, HugeIntervalsDoNotOverflow) {
  using mfe::heartbeat::Clock;
  using mfe::heartbeat::interval_of;
  EXPECT_EQ(interval_of(60), std::chrono::seconds(60));
  EXPECT_EQ(interval_of(std::numeric_limits<std::uint64_t>::max()), Clock::duration::max());
  EXPECT_EQ(interval_of(10'000'000'000ULL), Clock::duration::max());
  // The loop beats again once "now - last > interval", last being a beat
  // minus the 5 s head start: such an interval is never passed, not even at
  // the latest moment the clock can show, while the largest countable one
  // still is.
  const auto last = Clock::now() - std::chrono::seconds(5);
  EXPECT_FALSE(Clock::time_point::max() - last > interval_of(std::numeric_limits<std::uint64_t>::max()));
  const auto countable = std::chrono::duration_cast<std::chrono::seconds>(Clock::duration::max()).count();
  const auto largest = interval_of(static_cast<std::uint64_t>(countable) - 1);
  EXPECT_LT(largest, Clock::duration::max());
  EXPECT_TRUE(Clock::time_point::max() - Clock::time_point{} > largest);
}

}  // namespace
}  // namespace tavik::testing
