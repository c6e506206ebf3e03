// Records from several threads: each line comes out whole, and each thread's
// lines keep their order, in the file and on the terminal alike.
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "log_fixture.h"

namespace tavik::log::testing {
namespace {

constexpr int kThreads = 4;
constexpr int kRecordsPerThread = 400;

// Long enough that a torn write would show inside a line.
std::string payload(int thread) { return std::string(300, static_cast<char>('a' + thread)); }

void check_lines(const std::string& text) {
  std::istringstream in(text);
  std::string line;
  std::map<int, int> next_record;
  int total = 0;
  const std::string prefix = std::string(kFixedStamp) + " [INFO] ";
  while (std::getline(in, line)) {
    ++total;
    ASSERT_TRUE(line.starts_with(prefix)) << line;
    int thread = -1, record = -1;
    std::istringstream fields(line.substr(prefix.size()));
    std::string rest;
    fields >> thread >> record >> rest;
    ASSERT_GE(thread, 0);
    ASSERT_LT(thread, kThreads);
    ASSERT_EQ(rest, payload(thread)) << "line torn or mixed: " << line;
    ASSERT_EQ(record, next_record[thread]++) << "thread " << thread << " out of order";
  }
  EXPECT_EQ(total, kThreads * kRecordsPerThread);
}

using LogConcurrency = LogFixture;

TEST_F(LogConcurrency, LinesFromManyThreadsNeverInterleave) {
  const auto path = scratch() / "mfe.log";
  auto terminal = init_logging_for_test("info", path.string(), fixed_clock());
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([t] {
      const std::string text = payload(t);
      for (int r = 0; r < kRecordsPerThread; ++r) {
        LOG_INFO("mfe::background", "{} {} {}", t, r, text);
        LOG_INFO("rustls", "{} {} dropped", t, r);  // foreign records mixed in
      }
    });
  }
  for (auto& thread : threads) thread.join();
  check_lines(read_file(path));
  check_lines(terminal->text());
  EXPECT_FALSE(terminal->saw_overlapping_writes());
}

}  // namespace
}  // namespace tavik::log::testing
