// Both layers' log_and_pass_on: a failed result at Error or Warn level is
// logged as "<context>: <display> (<debug>)" and every result passes through
// unchanged.
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "kovo_base/logging.h"
#include "log_fixture.h"
#include "mfe/logging.h"

namespace tavik {

using kovo_base::ConnectionError;
using kovo_base::Result;

// Unqualified calls from inside each layer, with both headers in view, must
// pick that layer's routine; a move-only value passes straight through.
namespace mfe {
inline Result<std::unique_ptr<int>> get_connection() { return std::unexpected(ConnectionError::device_not_found()); }
inline Result<std::unique_ptr<int>> open_port() {
  return log_and_pass_on(get_connection(), log::Level::Error, "Failed to open port");
}
}  // namespace mfe

namespace kovo_base {
inline Result<std::unique_ptr<int>> make_context() { return std::make_unique<int>(7); }
inline Result<std::unique_ptr<int>> open_context() {
  return log_and_pass_on(make_context(), log::Level::Error, "Failed to create usb context");
}
}  // namespace kovo_base

namespace log::testing {
namespace {

using PassOn = const ResultPassOn&;

struct LayerCase {
  const char* name;
  PassOn pass_on;
};

void PrintTo(const LayerCase& c, std::ostream* out) { *out << c.name; }

const LayerCase kLayers[] = {{"Mfe", mfe::log_and_pass_on}, {"KovoBase", kovo_base::log_and_pass_on}};

class LogAndPassOn : public LogFixture, public ::testing::WithParamInterface<LayerCase> {
 protected:
  std::shared_ptr<CaptureSink> install(const char* level) {
    return init_logging_for_test(level, std::nullopt, fixed_clock());
  }
};

TEST_P(LogAndPassOn, ErrorAtErrorLevelWritesTheExactLine) {
  auto terminal = install("trace");
  const Result<int> failed = std::unexpected(ConnectionError::device_not_found());
  GetParam().pass_on(failed, Level::Error, "Failed to open port");
  EXPECT_EQ(terminal->text(), "2024-05-17 13:45:07.123 [ERROR] Failed to open port: DeviceNotFound (DeviceNotFound)\n");
}

TEST_P(LogAndPassOn, WarnShowsDisplayAndDebugRenderings) {
  auto terminal = install("warn");
  const Result<void> failed = std::unexpected(ConnectionError::tcp("handshake \"refused\""));
  GetParam().pass_on(failed, Level::Warn, "Failed to listen to UDP broadcast");
  EXPECT_EQ(terminal->text(),
            "2024-05-17 13:45:07.123 [WARN] Failed to listen to UDP broadcast: handshake \"refused\" "
            "(Tcp(\"handshake \\\"refused\\\"\"))\n");
}

TEST_P(LogAndPassOn, WritesNothingForSuccessOrMilderLevels) {
  auto terminal = install("trace");
  const Result<int> failed = std::unexpected(ConnectionError::connection());
  const Result<int> success = 5;
  const Result<void> void_success{};
  for (Level level : {Level::Info, Level::Debug, Level::Trace}) GetParam().pass_on(failed, level, "quiet");
  for (Level level : {Level::Error, Level::Warn}) {
    GetParam().pass_on(success, level, "quiet");
    GetParam().pass_on(void_success, level, "quiet");
  }
  EXPECT_EQ(terminal->text(), "");
}

TEST_P(LogAndPassOn, LevelBelowTheGlobalMaximumIsNotWritten) {
  auto terminal = install("error");
  const Result<int> failed = std::unexpected(ConnectionError::connection());
  GetParam().pass_on(failed, Level::Warn, "Failed to get HB wait time field");
  EXPECT_EQ(terminal->text(), "");
}

TEST_P(LogAndPassOn, PassesTheResultOnUnchanged) {
  install("trace");
  const Result<int> failed = std::unexpected(ConnectionError::rusb(kovo_base::UsbErrorKind::Access));
  const Result<int>& same = GetParam().pass_on(failed, Level::Error, "ctx");
  EXPECT_EQ(&same, &failed) << "an lvalue comes back as itself";

  const Result<int> passed = GetParam().pass_on(Result<int>(42), Level::Error, "ctx");
  EXPECT_EQ(passed, Result<int>(42));

  Result<std::unique_ptr<int>> moved =
      GetParam().pass_on(Result<std::unique_ptr<int>>(std::make_unique<int>(9)), Level::Warn, "ctx");
  ASSERT_TRUE(moved.has_value());
  EXPECT_EQ(**moved, 9);

  const Result<void> void_failed =
      GetParam().pass_on(Result<void>(std::unexpected(ConnectionError::protocol())), Level::Error, "ctx");
  ASSERT_FALSE(void_failed.has_value());
  EXPECT_EQ(void_failed.error(), ConnectionError::protocol());
}

INSTANTIATE_TEST_SUITE_P(Layers, LogAndPassOn, ::testing::ValuesIn(kLayers),
                         [](const auto& info) { return std::string(info.param.name); });

using LogAndPassOnInLayers = LogFixture;

TEST_F(LogAndPassOnInLayers, UnqualifiedCallsPickTheirLayer) {
  auto terminal = init_logging_for_test("error", std::nullopt, fixed_clock());
  const auto failed = mfe::open_port();
  ASSERT_FALSE(failed.has_value());
  EXPECT_EQ(failed.error(), ConnectionError::device_not_found());
  const auto opened = kovo_base::open_context();
  ASSERT_TRUE(opened.has_value());
  EXPECT_EQ(**opened, 7);
  EXPECT_EQ(terminal->lines(),
            std::vector<std::string>{"2024-05-17 13:45:07.123 [ERROR] Failed to open port: DeviceNotFound (DeviceNotFound)"});
}

}  // namespace
}  // namespace log::testing
}  // namespace tavik
