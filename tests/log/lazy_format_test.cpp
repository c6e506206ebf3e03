// A statement whose level does not pass formats nothing.
#include <atomic>

#include <fmt/format.h>
#include <gtest/gtest.h>

#include "log_fixture.h"

namespace tavik::log::testing {
namespace {

struct CountsFormatting {};
std::atomic<int> format_calls{0};

}  // namespace
}  // namespace tavik::log::testing

template <>
struct fmt::formatter<tavik::log::testing::CountsFormatting> : fmt::formatter<std::string_view> {
  auto format(const tavik::log::testing::CountsFormatting&, fmt::format_context& ctx) const {
    ++tavik::log::testing::format_calls;
    return fmt::formatter<std::string_view>::format("counted", ctx);
  }
};

namespace tavik::log::testing {
namespace {

class LogLazyFormatting : public LogFixture {
 protected:
  void SetUp() override {
    LogFixture::SetUp();
    format_calls = 0;
  }
};

TEST_F(LogLazyFormatting, LogOffFormatsNothing) {
  LOG_ERROR("mfe", "{}", CountsFormatting{});
  EXPECT_EQ(format_calls, 0);
}

TEST_F(LogLazyFormatting, OnlyPassingLevelsAreFormatted) {
  auto terminal = init_logging_for_test("info", std::nullopt, fixed_clock());
  LOG_TRACE("mfe", "{}", CountsFormatting{});
  LOG_DEBUG("mfe", "{}", CountsFormatting{});
  EXPECT_EQ(format_calls, 0);
  LOG_INFO("mfe", "{}", CountsFormatting{});
  EXPECT_EQ(format_calls, 1);
  EXPECT_EQ(terminal->text(), "2024-05-17 13:45:07.123 [INFO] counted\n");
}

TEST_F(LogLazyFormatting, LevelOffFormatsNothing) {
  init_logging_for_test("off", std::nullopt, fixed_clock());
  LOG_ERROR("mfe", "{}", CountsFormatting{});
  EXPECT_EQ(format_calls, 0);
}

}  // namespace
}  // namespace tavik::log::testing
