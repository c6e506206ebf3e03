#pragma once
// The state behind the session manager, kept apart so tests can exercise a
// fresh store: issued numbers (bounded) and the 100 result slots.
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string_view>
#include <unordered_map>

#include "dllsat/session_manager.h"

namespace tavik::dllsat {

class SessionStore {
 public:
  // Numbers handed out and never used are forgotten, oldest first, beyond
  // this many. Forgetting keeps memory bounded and keeps the generator from
  // ever searching a nearly full range; a forgotten number is no longer in
  // use, so handing it out later breaks no promise.
  static constexpr std::size_t issued_cap = 10000;

  explicit SessionStore(std::size_t slots = result_slots, std::size_t cap = issued_cap,
                        std::int32_t low = first_generated_session, std::int32_t high = last_generated_session)
      : slots_(slots), cap_(cap), low_(low), high_(high) {}

  std::int32_t generate();
  void register_session(std::int32_t number);
  const char* store(std::int32_t number, std::string_view text);

  // For tests and diagnostics.
  std::size_t issued_count() const;
  std::size_t slot_count() const;
  bool is_issued(std::int32_t number) const;
  // The text of the i-th slot from the oldest, or null when it has none.
  const char* slot_text(std::size_t index) const;

 private:
  struct ResultSlot {
    std::int32_t session;
    std::unique_ptr<char[]> text;
  };
  struct IssuedEntry {
    std::int32_t number;
    std::uint64_t sequence;
  };

  void register_locked(std::int32_t number);
  bool in_results_locked(std::int32_t number) const;
  void forget_oldest_issued_locked();

  mutable std::mutex mutex_;
  const std::size_t slots_;
  const std::size_t cap_;
  const std::int32_t low_;
  const std::int32_t high_;
  std::deque<ResultSlot> results_;
  // issued_: number -> sequence of its issue; issue_order_ keeps issue order
  // and may hold stale entries of numbers registered since, compacted lazily.
  std::unordered_map<std::int32_t, std::uint64_t> issued_;
  std::deque<IssuedEntry> issue_order_;
  std::uint64_t next_sequence_ = 0;
};

// The process-wide store behind the functions of session_manager.h.
SessionStore& session_store();

}  // namespace tavik::dllsat
