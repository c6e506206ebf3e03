#pragma once
// Shared set-up of the log tests: a fixed clock, a scratch directory per test
// and a clean slate of installed loggers before and after each test.
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include <unistd.h>

#include <gtest/gtest.h>

#include "log/log.h"
#include "log/log_testing.h"

namespace tavik::log::testing {

using namespace std::chrono_literals;

// 2024-05-17 13:45:07.123 UTC.
inline constexpr std::chrono::system_clock::time_point kFixedTime =
    std::chrono::sys_days{std::chrono::year{2024} / 5 / 17} + 13h + 45min + 7s + 123ms;
inline constexpr std::string_view kFixedStamp = "2024-05-17 13:45:07.123";

class LogFixture : public ::testing::Test {
 protected:
  void SetUp() override { reset_logging(); }

  void TearDown() override {
    reset_logging();
    if (!scratch_.empty()) std::filesystem::remove_all(scratch_);
  }

  // A fresh directory for this test, removed afterwards.
  std::filesystem::path scratch() {
    if (scratch_.empty()) {
      const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
      std::string name = std::string("tavik_log_") + info->test_suite_name() + "_" + info->name() + "_" +
                         std::to_string(::getpid());
      // Parameterised tests carry "/" in their names.
      for (char& c : name) {
        if (c == '/') c = '_';
      }
      scratch_ = std::filesystem::path(::testing::TempDir()) / name;
      std::filesystem::remove_all(scratch_);
      std::filesystem::create_directories(scratch_);
    }
    return scratch_;
  }

  static FakeEnvironment fixed_clock(bool console = true) {
    FakeEnvironment env;
    env.time = kFixedTime;
    env.stderr_is_console = console;
    return env;
  }

  static std::string read_file(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
  }

 private:
  std::filesystem::path scratch_;
};

}  // namespace tavik::log::testing
