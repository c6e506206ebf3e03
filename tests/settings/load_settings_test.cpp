// Locating mfe-config.ini: the fixed directory before the current one, and
// which failures fall back to the next place.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <sys/stat.h>
#include <unistd.h>

#include "mfe/settings/load_settings.h"
#include "platform/settings_dir.h"
#include "settings_printing.h"

namespace tavik::mfe {
namespace {

namespace fs = std::filesystem;
using kovo_base::ConnectionError;
using kovo_base::IoKind;

class SettingsLocations : public testing::Test {
 protected:
  void SetUp() override {
    std::string pattern = (fs::temp_directory_path() / "tavik-settings-XXXXXX").string();
    ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
    root_ = pattern;
    fs::create_directory(fixed_dir());
    fs::create_directory(current_dir());
  }
  void TearDown() override { fs::remove_all(root_); }

  fs::path fixed_dir() const { return root_ / "fixed"; }
  fs::path current_dir() const { return root_ / "current"; }

  static void write(const fs::path& dir, const std::string& bytes) {
    std::ofstream(dir / kSettingsFileName, std::ios::binary) << bytes;
  }

  kovo_base::Result<Settings> load() {
    const DirectoryLookup lookups[] = {
        [this] { return std::expected<fs::path, kovo_base::IoError>(fixed_dir()); },
        [this] {
          ++current_lookups_;
          return std::expected<fs::path, kovo_base::IoError>(current_dir());
        },
    };
    return load_settings_from(lookups);
  }

  static std::optional<std::string> level_of(const kovo_base::Result<Settings>& result) {
    return result ? result->logging.level : std::optional<std::string>("<error>");
  }

  fs::path root_;
  int current_lookups_ = 0;
};

TEST_F(SettingsLocations, FixedDirectoryWinsAndCurrentIsNotLookedUp) {
  write(fixed_dir(), "[logging]\nlevel=fixed");
  write(current_dir(), "[logging]\nlevel=current");
  EXPECT_EQ(level_of(load()), "fixed");
  EXPECT_EQ(current_lookups_, 0);
}

TEST_F(SettingsLocations, UnusableFixedFileFallsBackToCurrent) {
  write(current_dir(), "[logging]\nlevel=current");
  EXPECT_EQ(level_of(load()), "current") << "missing file";

  write(fixed_dir(), "[logging]\nlevel=caf\xE9");  // Latin-1, not UTF-8
  EXPECT_EQ(level_of(load()), "current") << "not UTF-8";

  fs::remove(fixed_dir() / kSettingsFileName);
  fs::create_directory(fixed_dir() / kSettingsFileName);
  EXPECT_EQ(level_of(load()), "current") << "a directory in its place";

  fs::remove(fixed_dir() / kSettingsFileName);
  ASSERT_EQ(::mkfifo((fixed_dir() / kSettingsFileName).c_str(), 0600), 0);
  EXPECT_EQ(level_of(load()), "current") << "a pipe is neither waited on nor read";
}

TEST_F(SettingsLocations, ParseFailureIsFinal) {
  write(fixed_dir(), "[connection]\ncontinuous=yes");
  write(current_dir(), "[logging]\nlevel=current");
  const auto result = load();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().debug(), "IniParse(Custom(\"provided string was not `true` or `false`\"))");
  EXPECT_EQ(current_lookups_, 0);
}

TEST_F(SettingsLocations, LastFailureIsTheResult) {
  auto result = load();
  ASSERT_FALSE(result.has_value());
  ASSERT_EQ(result.error().kind(), ConnectionError::Kind::Io);
  EXPECT_EQ(result.error().io_error()->kind, IoKind::NotFound);
  EXPECT_EQ(result.error().io_error()->os_code, ENOENT);

  write(fixed_dir(), "\xFF");
  write(current_dir(), "level=\xC3");  // cut short
  result = load();
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().debug(), "Io(Custom { kind: InvalidData, error: \"stream did not contain valid UTF-8\" })");
}

TEST_F(SettingsLocations, CurrentDirectoryThatCannotBeFoundIsTheError) {
  const DirectoryLookup lookups[] = {
      [this] { return std::expected<fs::path, kovo_base::IoError>(fixed_dir()); },
      [] { return std::expected<fs::path, kovo_base::IoError>(std::unexpected(kovo_base::IoError::from_errno(ENOENT))); },
  };
  write(fixed_dir(), "\xFF");
  const auto result = load_settings_from(lookups);
  ASSERT_FALSE(result.has_value());
  EXPECT_EQ(result.error().io_error()->os_code, ENOENT);
}

TEST_F(SettingsLocations, LoadSettingsUsesTheSettingsDirectoryThenTheWorkingDirectory) {
  const fs::path previous = fs::current_path();
  platform::detail::override_settings_directory(fixed_dir());
  fs::current_path(current_dir());
  write(current_dir(), "[logging]\nlevel=current");
  const auto from_current = load_settings();
  write(fixed_dir(), "[logging]\nlevel=fixed");
  const auto from_fixed = load_settings();
  fs::current_path(previous);
  platform::detail::override_settings_directory(std::nullopt);

  EXPECT_EQ(level_of(from_current), "current");
  EXPECT_EQ(level_of(from_fixed), "fixed");
}

TEST(SettingsDirectory, BuiltInDirectoryUnlessReplaced) {
#ifdef TAVIK_SETTINGS_DIR
  EXPECT_EQ(platform::settings_directory(), fs::path(TAVIK_SETTINGS_DIR));
#else
  EXPECT_EQ(platform::settings_directory(), fs::path("/etc/tavik"));
#endif
  platform::detail::override_settings_directory(fs::path("/tmp/elsewhere"));
  EXPECT_EQ(platform::settings_directory(), fs::path("/tmp/elsewhere"));
  platform::detail::override_settings_directory(std::nullopt);
}

}  // namespace
}  // namespace tavik::mfe
