// Which log level and file start-up uses: the loaded file's keys, else the
// environment, else nothing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <string>

#include "mfe/settings/log_values.h"
#include "settings_printing.h"

namespace tavik::mfe {
namespace {

using Environment = std::map<std::string, std::string>;

LogValues choose(const kovo_base::Result<Settings>& settings, const Environment& environment) {
  return choose_log_values(settings, [&](const char* name) -> std::optional<std::string> {
    const auto found = environment.find(name);
    if (found == environment.end()) return std::nullopt;
    return found->second;
  });
}

Settings with_logging(std::optional<std::string> level, std::optional<std::string> file) {
  Settings settings;
  settings.logging = {std::move(level), std::move(file)};
  return settings;
}

const Environment kBothSet{{"LOG_LEVEL_MFE", "trace"}, {"LOG_FILE_MFE", "env.log"}};

TEST(LogValues, Precedence) {
  const kovo_base::Result<Settings> unusable = std::unexpected(kovo_base::ConnectionError::ini_parse("Custom(\"x\")"));
  const struct {
    const char* name;
    kovo_base::Result<Settings> settings;
    Environment environment;
    LogValues expected;
  } cases[] = {
      {"file keys win", with_logging("info", "file.log"), kBothSet, {"info", "file.log"}},
      {"empty key still wins", with_logging("", ""), kBothSet, {"", ""}},
      {"absent keys fall to the environment", with_logging(std::nullopt, "file.log"), kBothSet,
       {"trace", "file.log"}},
      {"unusable file uses the environment", unusable, kBothSet, {"trace", "env.log"}},
      {"nothing anywhere", unusable, {}, {std::nullopt, std::nullopt}},
      {"loaded file without keys and no environment", Settings{}, {}, {std::nullopt, std::nullopt}},
  };
  for (const auto& c : cases) {
    const LogValues chosen = choose(c.settings, c.environment);
    EXPECT_EQ(chosen.level, c.expected.level) << c.name;
    EXPECT_EQ(chosen.file, c.expected.file) << c.name;
  }
}

TEST(LogValues, ProcessEnvironmentWithNonUnicodeValueCountsAsUnset) {
  ::setenv("LOG_LEVEL_MFE", "debug", 1);
  ::setenv("LOG_FILE_MFE", "bad\xFF.log", 1);
  const LogValues chosen = choose_log_values(kovo_base::Result<Settings>(Settings{}));
  ::unsetenv("LOG_LEVEL_MFE");
  ::unsetenv("LOG_FILE_MFE");
  EXPECT_EQ(chosen.level, "debug");
  EXPECT_EQ(chosen.file, std::nullopt);
}

}  // namespace
}  // namespace tavik::mfe
