#include "dllsat/session_store.h"

#include <set>
#include <string>

#include <gtest/gtest.h>

#include "dllsat/session_manager.h"
#include "dllsat/session_random.h"

namespace tavik::dllsat {
namespace {

TEST(SessionStore, TheHundredAndFirstRegistrationEvictsTheOldestSlot) {
  SessionStore store;
  const char* oldest = store.store(1, "first");  // creates the slot for 1
  for (int n = 2; n <= 100; ++n) store.register_session(n);
  EXPECT_EQ(store.slot_count(), 100u);
  EXPECT_STREQ(store.slot_text(0), "first");
  EXPECT_EQ(store.slot_text(0), oldest);

  store.register_session(101);
  EXPECT_EQ(store.slot_count(), 100u);
  // Slot 1 is gone: storing under 1 again creates a new slot at the back.
  store.store(1, "again");
  EXPECT_EQ(store.slot_count(), 100u);
  EXPECT_STREQ(store.slot_text(99), "again");
}

TEST(SessionStore, AReusedNumberRefillsTheOldestSlotAndLeavesTheNewOneEmpty) {
  SessionStore store;
  store.register_session(42);
  store.store(42, "first call");
  store.register_session(42);  // the same number, used again
  const char* second = store.store(42, "second call");
  ASSERT_EQ(store.slot_count(), 2u);
  EXPECT_EQ(store.slot_text(0), second);
  EXPECT_STREQ(store.slot_text(0), "second call");
  EXPECT_EQ(store.slot_text(1), nullptr);
}

TEST(SessionStore, StoringWithoutRegistrationCreatesASlot) {
  SessionStore store;
  const char* text = store.store(-7, "Argumento eh NULL");
  EXPECT_EQ(store.slot_count(), 1u);
  EXPECT_STREQ(text, "Argumento eh NULL");
}

TEST(SessionStore, ResultTextsAreCopiedWithNulBytesMadeVisible) {
  SessionStore store;
  const std::string empty;
  EXPECT_STREQ(store.store(1, empty), "");
  std::string answer = "004321|a";
  answer += '\0';
  answer += "b|c";
  // A NUL would end the text early for a C caller; it becomes U+FFFD.
  EXPECT_STREQ(store.store(2, answer), "004321|a\xEF\xBF\xBD" "b|c");
}

TEST(SessionStore, GeneratedNumbersAreFreshAndInRange) {
  SessionStore store;
  std::set<std::int32_t> seen;
  // Within the cap no unused number is forgotten, so none may come twice.
  for (std::size_t i = 0; i < SessionStore::issued_cap; ++i) {
    const auto n = store.generate();
    ASSERT_GE(n, first_generated_session);
    ASSERT_LE(n, last_generated_session);
    ASSERT_TRUE(seen.insert(n).second);
  }
}

TEST(SessionStore, GenerationSkipsNumbersThatCarryAResult) {
  // A ten-number range, five of them held by result slots: the generator can
  // only hand out the other five.
  SessionStore store(100, 1000, 1000, 1009);
  for (int n = 1000; n < 1005; ++n) store.register_session(n);
  std::set<std::int32_t> handed_out;
  for (int i = 0; i < 5; ++i) handed_out.insert(store.generate());
  EXPECT_EQ(handed_out, (std::set<std::int32_t>{1005, 1006, 1007, 1008, 1009}));
}

TEST(SessionStore, UsingAnIssuedNumberRemovesItFromIssued) {
  SessionStore store;
  const auto used = store.generate();
  const auto unused = store.generate();
  store.register_session(used);
  EXPECT_FALSE(store.is_issued(used));
  EXPECT_TRUE(store.is_issued(unused));
}

TEST(SessionStore, UnusedNumbersAreForgottenOldestFirstBeyondTheCap) {
  SessionStore store(100, 3);
  const auto a = store.generate();
  const auto b = store.generate();
  store.register_session(b);  // used: leaves issued on its own
  const auto c = store.generate();
  const auto d = store.generate();
  const auto e = store.generate();
  EXPECT_EQ(store.issued_count(), 3u);
  EXPECT_FALSE(store.is_issued(a));
  EXPECT_TRUE(store.is_issued(c));
  EXPECT_TRUE(store.is_issued(d));
  EXPECT_TRUE(store.is_issued(e));
}

TEST(SessionStore, IssuedBookkeepingStaysBoundedWhenEveryNumberIsUsed) {
  SessionStore store(100, 50);
  for (int i = 0; i < 100000; ++i) store.register_session(store.generate());
  EXPECT_EQ(store.issued_count(), 0u);
  EXPECT_EQ(store.slot_count(), 100u);
}

// The range ends, a one-value range, and the whole 32-bit range (whose
// width does not fit in a signed number) draw without overflow or bias loop.
TEST(SessionRandom, DrawsStayInsideEveryRangeAndReachBothEnds) {
  std::set<std::int32_t> seen;
  for (int i = 0; i < 400; ++i) {
    const std::int32_t value = draw_uniform(-1, 2);
    ASSERT_GE(value, -1);
    ASSERT_LE(value, 2);
    seen.insert(value);
  }
  EXPECT_EQ(seen.size(), 4u);
  EXPECT_EQ(draw_uniform(7, 7), 7);
  std::set<std::int32_t> wide;
  for (int i = 0; i < 16; ++i) wide.insert(draw_uniform(INT32_MIN, INT32_MAX));
  EXPECT_GT(wide.size(), 1u);
}

}  // namespace
}  // namespace tavik::dllsat
