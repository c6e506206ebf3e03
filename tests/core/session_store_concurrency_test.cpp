#include <set>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "dllsat/session_store.h"

namespace tavik::dllsat {
namespace {

TEST(SessionStoreConcurrency, ThreadsNeverReceiveTheSameNumber) {
  SessionStore store(100, 100000);
  constexpr int threads = 4, per_thread = 5000;
  std::vector<std::vector<std::int32_t>> drawn(threads);
  std::vector<std::thread> workers;
  for (int t = 0; t < threads; ++t) {
    workers.emplace_back([&, t] {
      for (int i = 0; i < per_thread; ++i) {
        const auto n = store.generate();
        drawn[t].push_back(n);
        // Results stored meanwhile under numbers outside the range.
        if (i % 3 == 0) store.store(-(t + 1), "answer");
      }
    });
  }
  for (auto& w : workers) w.join();
  std::set<std::int32_t> all;
  for (const auto& list : drawn) all.insert(list.begin(), list.end());
  EXPECT_EQ(all.size(), static_cast<std::size_t>(threads * per_thread));
  EXPECT_EQ(store.slot_count(), static_cast<std::size_t>(threads));
}

}  // namespace
}  // namespace tavik::dllsat
