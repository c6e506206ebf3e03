// The text of a log line: time stamp, level name, target for Debug and Trace
// only, message and a single line feed.
#include <string>

#include <gtest/gtest.h>

#include "log_fixture.h"

namespace tavik::log::testing {
namespace {

using LogLineFormat = LogFixture;

TEST_F(LogLineFormat, InfoLineHasNoTarget) {
  auto terminal = init_logging_for_test("info", std::nullopt, fixed_clock());
  LOG_INFO("kovo_base::connection", "Enabling continuous connection");
  EXPECT_EQ(terminal->text(), "2024-05-17 13:45:07.123 [INFO] Enabling continuous connection\n");
}

TEST_F(LogLineFormat, DebugLineCarriesTarget) {
  auto terminal = init_logging_for_test("debug", std::nullopt, fixed_clock());
  LOG_DEBUG("kovo_base::connection::handle", "No USB device found");
  EXPECT_EQ(terminal->text(), "2024-05-17 13:45:07.123 [DEBUG] kovo_base::connection::handle: No USB device found\n");
}

TEST_F(LogLineFormat, EveryLevelNameAndTargetRule) {
  auto terminal = init_logging_for_test("trace", std::nullopt, fixed_clock());
  LOG_ERROR("mfe::logging", "e {}", 1);
  LOG_WARN("mfe::background", "w {}", 2);
  LOG_INFO("dllsat::protocol", "i {}", 3);
  LOG_DEBUG("mfe", "d {}", 4);
  LOG_TRACE("kovo_base", "t {}", 5);
  const std::string stamp(kFixedStamp);
  EXPECT_EQ(terminal->lines(), (std::vector<std::string>{
                                   stamp + " [ERROR] e 1",
                                   stamp + " [WARN] w 2",
                                   stamp + " [INFO] i 3",
                                   stamp + " [DEBUG] mfe: d 4",
                                   stamp + " [TRACE] kovo_base: t 5",
                               }));
}

struct StampCase {
  const char* name;
  std::chrono::system_clock::time_point utc;
  std::chrono::seconds offset;
  const char* expected;
};

// Names the case in test listings instead of its bytes.
void PrintTo(const StampCase& c, std::ostream* out) { *out << c.name; }

class LogTimeStamp : public LogFixture, public ::testing::WithParamInterface<StampCase> {};

TEST_P(LogTimeStamp, IsLocalTimeToTheMillisecond) {
  FakeEnvironment env = fixed_clock();
  env.time = GetParam().utc;
  env.utc_offset = GetParam().offset;
  auto terminal = init_logging_for_test("info", std::nullopt, env);
  LOG_INFO("mfe", "x");
  EXPECT_EQ(terminal->text(), std::string(GetParam().expected) + " [INFO] x\n");
}

using std::chrono::sys_days;
using std::chrono::year;

INSTANTIATE_TEST_SUITE_P(
    Cases, LogTimeStamp,
    ::testing::Values(
        StampCase{"Utc", kFixedTime, 0s, "2024-05-17 13:45:07.123"},
        StampCase{"BrasiliaOffset", kFixedTime, -3h, "2024-05-17 10:45:07.123"},
        // West of UTC the local date can be the day before, across a year end.
        StampCase{"BackToPreviousYear", sys_days{year{2024} / 1 / 1} + 1h + 2min + 3s + 4ms, -3h,
                  "2023-12-31 22:02:03.004"},
        StampCase{"HalfHourOffset", sys_days{year{2024} / 2 / 28} + 20h, 5h + 30min, "2024-02-29 01:30:00.000"},
        // The fraction is cut to three digits, never rounded up.
        StampCase{"FractionTruncated", sys_days{year{2024} / 12 / 31} + 23h + 59min + 59s + 999999us, 0s,
                  "2024-12-31 23:59:59.999"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogLineFormat, TerminalColoursOnlyTheLevelName) {
  FakeEnvironment env = fixed_clock();
  env.stderr_supports_colour = true;
  auto terminal = init_logging_for_test("trace", std::nullopt, env);
  LOG_ERROR("mfe", "a");
  LOG_WARN("mfe", "b");
  LOG_INFO("mfe", "c");
  LOG_DEBUG("mfe", "d");
  LOG_TRACE("mfe", "e");
  const std::string stamp(kFixedStamp);
  EXPECT_EQ(terminal->lines(), (std::vector<std::string>{
                                   stamp + " [\x1b[31mERROR\x1b[0m] a",
                                   stamp + " [\x1b[33mWARN\x1b[0m] b",
                                   stamp + " [\x1b[34mINFO\x1b[0m] c",
                                   stamp + " [\x1b[36mDEBUG\x1b[0m] mfe: d",
                                   stamp + " [\x1b[37mTRACE\x1b[0m] mfe: e",
                               }));
}

TEST_F(LogLineFormat, FileLinesAreNeverColoured) {
  FakeEnvironment env = fixed_clock();
  env.stderr_supports_colour = true;
  const auto path = scratch() / "mfe.log";
  init_logging_for_test("info", path.string(), env);
  LOG_INFO("mfe::protocol", "Enabling compression");
  EXPECT_EQ(read_file(path), "2024-05-17 13:45:07.123 [INFO] Enabling compression\n");
}

}  // namespace
}  // namespace tavik::log::testing
