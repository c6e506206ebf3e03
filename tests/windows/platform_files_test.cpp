// The Windows side of the platform layer's files, environment, time and
// system description, run under Wine.
#include <windows.h>

#include <filesystem>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "platform/local_time.h"
#include "platform/os_info.h"
#include "platform/read_file.h"
#include "platform/settings_dir.h"
#include "windows/loaded_library.h"
#include "windows/log_file.h"

namespace tavik::platform {
namespace {

using windows_test::read_shared;
using windows_test::ScratchDirectory;

TEST(Win32Files, ParentDirectoryKnowsDrivesSharesAndBothSeparators) {
  const std::vector<std::pair<std::string, std::string>> cases = {
      {"C:\\logs\\mfe.log", "C:\\logs"},   {"C:/logs/mfe.log", "C:/logs"},
      {"C:\\mfe.log", "C:\\"},             {"C:mfe.log", "C:"},
      {"logs\\day/mfe.log", "logs\\day"},  {"mfe.log", ""},
      {"\\mfe.log", "\\"},                 {"\\\\server\\share\\mfe.log", "\\\\server\\share"},
      {"C:\\logs\\\\mfe.log", "C:\\logs"},
  };
  for (const auto& [path, parent] : cases) EXPECT_EQ(parent_directory(path), parent) << path;
}

TEST(Win32Files, CreatesNestedDirectoriesWithEitherSeparator) {
  ScratchDirectory scratch(L"taviksat-dirs");
  const std::string base = scratch.path().string();
  EXPECT_TRUE(create_directories(base + "\\a/b\\c"));
  EXPECT_TRUE(std::filesystem::is_directory(scratch.path() / "a" / "b" / "c"));
  EXPECT_TRUE(create_directories(base + "\\a\\b"));  // already there
  EXPECT_TRUE(create_directories("rel\\x"));         // relative to the current directory
  EXPECT_TRUE(std::filesystem::is_directory(scratch.path() / "rel" / "x"));
  EXPECT_TRUE(create_directories(""));
  // A file in the way is no directory.
  windows_test::write_text_file(scratch.path() / "file", "x");
  EXPECT_FALSE(create_directories(base + "\\file\\sub"));
}

TEST(Win32Files, AppendFileAppendsAndLetsOthersReadWriteAndDelete) {
  ScratchDirectory scratch(L"taviksat-append");
  const auto path = scratch.path() / "log.txt";
  windows_test::write_text_file(path, "old\n");
  AppendFile file = AppendFile::open(path.string());
  ASSERT_TRUE(file.is_open());
  EXPECT_TRUE(file.write("one\n"));
  EXPECT_EQ(read_shared(path), "old\none\n");
  // Another writer's bytes are not overwritten: each write goes to the end.
  const HANDLE other = CreateFileW(path.c_str(), FILE_APPEND_DATA, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                   nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(other, INVALID_HANDLE_VALUE);
  DWORD written = 0;
  WriteFile(other, "two\n", 4, &written, nullptr);
  CloseHandle(other);
  EXPECT_TRUE(file.write("three\n"));
  EXPECT_EQ(read_shared(path), "old\none\ntwo\nthree\n");
  EXPECT_TRUE(DeleteFileW(path.c_str())) << GetLastError();
  file.close();
  EXPECT_FALSE(file.write("closed"));
  EXPECT_FALSE(AppendFile::open((scratch.path() / "missing" / "x.log").string()).is_open());
}

TEST(Win32Files, ReadWholeFileReadsBytesAndRefusesDirectoriesAndMissingFiles) {
  ScratchDirectory scratch(L"taviksat-read");
  windows_test::write_text_file(scratch.path() / "mfe-config.ini", std::string("a=\xC3\xA7\r\n\0b", 8));
  const auto bytes = read_whole_file(scratch.path() / "mfe-config.ini");
  ASSERT_TRUE(bytes) << bytes.error().debug();
  EXPECT_EQ(*bytes, std::string("a=\xC3\xA7\r\n\0b", 8));
  const auto missing = read_whole_file(scratch.path() / "none.ini");
  ASSERT_FALSE(missing);
  EXPECT_EQ(missing.error().kind, kovo_base::IoKind::NotFound);
  EXPECT_FALSE(read_whole_file(scratch.path()));
  const auto here = current_directory();
  ASSERT_TRUE(here);
  EXPECT_TRUE(std::filesystem::equivalent(*here, scratch.path()));
}

TEST(Win32System, SettingsDirectoryTimeAndDescription) {
  EXPECT_EQ(settings_directory(), std::filesystem::path("C:/tavik"));
  EXPECT_TRUE(local_utc_offset().has_value());
  const OsInfo info = read_os_info();
  EXPECT_EQ(info.type_name, "Windows");
  EXPECT_NE(info.version, "Unknown");
  EXPECT_EQ(info.bitness, Bitness::X64);
  EXPECT_EQ(info.architecture, "x86_64");
}

}  // namespace
}  // namespace tavik::platform
