// Setting up the loggers from the level text and the file path, and what the
// installed loggers let through.
#include <filesystem>
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "log_fixture.h"
#include "log/init_logging.h"

namespace tavik::log::testing {
namespace {

namespace fs = std::filesystem;

// Writes one record of every level under an allowed target.
void write_one_of_each_level() {
  LOG_ERROR("mfe", "error");
  LOG_WARN("mfe", "warn");
  LOG_INFO("mfe", "info");
  LOG_DEBUG("mfe", "debug");
  LOG_TRACE("mfe", "trace");
}

struct LevelTextCase {
  const char* name;
  const char* text;
  // The least severe level that gets written; nothing when no record does.
  std::optional<Level> least_severe_written;
};

void PrintTo(const LevelTextCase& c, std::ostream* out) { *out << c.name; }

class LogLevelText : public LogFixture, public ::testing::WithParamInterface<LevelTextCase> {};

TEST_P(LogLevelText, DecidesWhatBothLoggersWrite) {
  const auto path = scratch() / "mfe.log";
  auto terminal = init_logging_for_test(GetParam().text, path.string(), fixed_clock());
  write_one_of_each_level();

  // The file is created whether or not the text is a level.
  ASSERT_TRUE(fs::exists(path));
  const std::string file = read_file(path);
  const std::optional<Level> least = GetParam().least_severe_written;
  if (!least) {
    EXPECT_EQ(file, "");
    EXPECT_EQ(terminal->text(), "");
    EXPECT_FALSE(enabled(Level::Error)) << "the global maximum must stay Off";
    return;
  }
  const auto written = static_cast<std::size_t>(*least);  // Error = 1 ... Trace = 5
  EXPECT_EQ(terminal->lines().size(), written);
  EXPECT_EQ(file, terminal->text());
  for (std::uint8_t value = 1; value <= 5; ++value) {
    EXPECT_EQ(enabled(static_cast<Level>(value)), value <= written) << "level value " << int(value);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, LogLevelText,
    ::testing::Values(LevelTextCase{"WarnUpper", "WARN", Level::Warn}, LevelTextCase{"WarnMixed", "Warn", Level::Warn},
                      LevelTextCase{"WarnLower", "warn", Level::Warn}, LevelTextCase{"Error", "error", Level::Error},
                      LevelTextCase{"Info", "iNfO", Level::Info}, LevelTextCase{"Debug", "debug", Level::Debug},
                      LevelTextCase{"Trace", "TRACE", Level::Trace}, LevelTextCase{"Off", "off", std::nullopt},
                      LevelTextCase{"OffUpper", "OFF", std::nullopt},
                      LevelTextCase{"Warning", "warning", std::nullopt}, LevelTextCase{"Empty", "", std::nullopt},
                      LevelTextCase{"InnerSpace", "de bug", std::nullopt},
                      LevelTextCase{"TrailingSpace", "info ", std::nullopt},
                      LevelTextCase{"Number", "3", std::nullopt}),
    [](const auto& info) { return std::string(info.param.name); });

TEST_F(LogLevelText, NoLevelTextInstallsNothingAndCreatesNoFile) {
  const auto path = scratch() / "mfe.log";
  auto terminal = init_logging_for_test(std::nullopt, path.string(), fixed_clock());
  write(Level::Error, "mfe", "straight to the loggers");
  EXPECT_FALSE(enabled(Level::Error));
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(terminal->text(), "");
}

TEST_F(LogLevelText, UnknownUtcOffsetInstallsNothing) {
  FakeEnvironment env = fixed_clock();
  env.utc_offset = std::nullopt;
  const auto path = scratch() / "mfe.log";
  auto terminal = init_logging_for_test("trace", path.string(), env);
  write(Level::Error, "mfe", "straight to the loggers");
  EXPECT_FALSE(enabled(Level::Error));
  EXPECT_EQ(terminal->text(), "");
  EXPECT_FALSE(fs::exists(path));
}

TEST_F(LogLevelText, LevelWithoutFileAndWithoutConsoleWritesNowhere) {
  auto terminal = init_logging_for_test("trace", std::nullopt, fixed_clock(/*console=*/false));
  write(Level::Error, "mfe", "straight to the loggers");
  EXPECT_FALSE(enabled(Level::Error)) << "no logger, so the global maximum is Off";
  EXPECT_EQ(terminal->text(), "");
}

TEST_F(LogLevelText, FileLoggerWorksWithoutConsole) {
  const auto path = scratch() / "mfe.log";
  auto terminal = init_logging_for_test("info", path.string(), fixed_clock(/*console=*/false));
  LOG_INFO("mfe", "only in the file");
  EXPECT_EQ(terminal->text(), "");
  EXPECT_EQ(read_file(path), "2024-05-17 13:45:07.123 [INFO] only in the file\n");
}

TEST_F(LogLevelText, SecondInstallationIsIgnored) {
  const auto first_path = scratch() / "first.log";
  auto first = init_logging_for_test("info", first_path.string(), fixed_clock());
  auto second = init_logging_for_test("trace", std::nullopt, fixed_clock());
  EXPECT_FALSE(enabled(Level::Debug));
  LOG_INFO("mfe", "kept");
  EXPECT_EQ(first->lines().size(), 1u);
  EXPECT_EQ(second->text(), "");
  EXPECT_EQ(read_file(first_path), first->text());
}

// Records of targets outside the library never reach a logger; the test is a
// plain text prefix, so "mfex" passes while "MFE" does not.
struct TargetCase {
  const char* target;
  bool written;
};

void PrintTo(const TargetCase& c, std::ostream* out) { *out << '"' << c.target << '"'; }

class LogTargetFilter : public LogFixture, public ::testing::WithParamInterface<TargetCase> {};

TEST_P(LogTargetFilter, KeepsOnlyTheLibrarysTargets) {
  const auto path = scratch() / "mfe.log";
  auto terminal = init_logging_for_test("trace", path.string(), fixed_clock());
  LOG_ERROR(GetParam().target, "error record");
  LOG_TRACE(GetParam().target, "trace record");
  const std::size_t expected_lines = GetParam().written ? 2 : 0;
  EXPECT_EQ(terminal->lines().size(), expected_lines);
  EXPECT_EQ(read_file(path), terminal->text());
}

INSTANTIATE_TEST_SUITE_P(Targets, LogTargetFilter,
                         ::testing::Values(TargetCase{"mfe", true}, TargetCase{"mfe::messages", true},
                                           TargetCase{"mfex", true}, TargetCase{"dllsat", true},
                                           TargetCase{"dllsat::protocol", true}, TargetCase{"kovo_base", true},
                                           TargetCase{"kovo_base::connection::usb", true},
                                           TargetCase{"rustls", false}, TargetCase{"rustls::client", false},
                                           TargetCase{"", false}, TargetCase{"MFE", false},
                                           TargetCase{"xmfe", false}, TargetCase{"kovo", false},
                                           TargetCase{"dll", false}, TargetCase{"mf", false}));

TEST_F(LogLevelText, MissingParentDirectoriesAreCreated) {
  const auto path = scratch() / "a" / "b" / "c" / "mfe.log";
  init_logging_for_test("info", path.string(), fixed_clock());
  LOG_INFO("mfe", "deep");
  EXPECT_EQ(read_file(path), "2024-05-17 13:45:07.123 [INFO] deep\n");
}

TEST_F(LogLevelText, RelativePathWithoutDirectoryPart) {
  const auto previous = fs::current_path();
  fs::current_path(scratch());
  init_logging_for_test("info", std::string("plain.log"), fixed_clock());
  LOG_INFO("mfe", "here");
  fs::current_path(previous);
  EXPECT_EQ(read_file(scratch() / "plain.log"), "2024-05-17 13:45:07.123 [INFO] here\n");
}

TEST_F(LogLevelText, UncreatableDirectoryLeavesTheTerminalLogger) {
  // A regular file where a directory would have to be: no user can get past it.
  const auto blocker = scratch() / "blocker";
  { std::ofstream(blocker) << "not a directory"; }
  const auto path = blocker / "logs" / "mfe.log";
  auto terminal = init_logging_for_test("info", path.string(), fixed_clock());
  LOG_INFO("mfe", "still on the terminal");
  EXPECT_EQ(terminal->text(), "2024-05-17 13:45:07.123 [INFO] still on the terminal\n");
  EXPECT_FALSE(fs::exists(path));
  EXPECT_EQ(read_file(blocker), "not a directory");
}

TEST_F(LogLevelText, PathNamingADirectoryLeavesTheTerminalLogger) {
  auto terminal = init_logging_for_test("info", scratch().string(), fixed_clock());
  LOG_INFO("mfe", "terminal only");
  EXPECT_EQ(terminal->lines().size(), 1u);
}

TEST_F(LogLevelText, ExistingFileIsAppendedToAcrossInstallations) {
  const auto path = scratch() / "mfe.log";
  { std::ofstream(path) << "earlier line\n"; }
  init_logging_for_test("info", path.string(), fixed_clock());
  LOG_INFO("mfe", "first load");
  // A second load of the library in the same process installs again.
  reset_logging();
  init_logging_for_test("info", path.string(), fixed_clock());
  LOG_INFO("mfe", "second load");
  EXPECT_EQ(read_file(path),
            "earlier line\n"
            "2024-05-17 13:45:07.123 [INFO] first load\n"
            "2024-05-17 13:45:07.123 [INFO] second load\n");
}

TEST_F(LogLevelText, LostFileDoesNotDisturbTheStatement) {
  const auto path = scratch() / "mfe.log";
  auto terminal = init_logging_for_test("info", path.string(), fixed_clock());
  fs::remove(path);
  LOG_INFO("mfe", "into the deleted file");
  EXPECT_EQ(terminal->lines().size(), 1u);
  EXPECT_FALSE(fs::exists(path)) << "the file is never recreated behind the holder's back";
}

TEST_F(LogLevelText, SystemEnvironmentInstallsWithoutTrouble) {
  // The real clock, time zone and console: a file logger must come out of it.
  const auto path = scratch() / "real.log";
  init_logging(std::string("info"), path.string());
  LOG_INFO("mfe", "real clock");
  const std::string text = read_file(path);
  ASSERT_EQ(text.size(), std::string("YYYY-MM-DD HH:MM:SS.mmm [INFO] real clock\n").size()) << text;
  EXPECT_EQ(text.substr(23), " [INFO] real clock\n");
}

}  // namespace
}  // namespace tavik::log::testing
