#include "dllsat/session_manager.h"

#include <cstring>
#include <string>

#include "dllsat/session_random.h"
#include "dllsat/session_store.h"

namespace tavik::dllsat {

namespace {

// A NUL inside a result would end it early for a C caller and hide the rest
// of the answer; U+FFFD keeps every other byte visible.
constexpr std::string_view replacement = "\xEF\xBF\xBD";

std::unique_ptr<char[]> nul_terminated_copy(std::string_view text) {
  std::size_t nuls = 0;
  for (char c : text) nuls += (c == '\0');
  auto copy = std::make_unique<char[]>(text.size() + nuls * (replacement.size() - 1) + 1);
  char* out = copy.get();
  for (char c : text) {
    if (c == '\0') {
      std::memcpy(out, replacement.data(), replacement.size());
      out += replacement.size();
    } else {
      *out++ = c;
    }
  }
  *out = '\0';
  return copy;
}

}  // namespace

std::int32_t SessionStore::generate() {
  std::lock_guard lock(mutex_);
  std::int32_t candidate;
  do {
    candidate = draw_uniform(low_, high_);
  } while (issued_.contains(candidate) || in_results_locked(candidate));
  const std::uint64_t sequence = next_sequence_++;
  issued_.emplace(candidate, sequence);
  issue_order_.push_back({candidate, sequence});
  while (issued_.size() > cap_) forget_oldest_issued_locked();
  // Registered numbers leave stale entries behind; drop them once they
  // outnumber the live ones so the order list stays proportional.
  if (issue_order_.size() > 2 * issued_.size() + 64) {
    std::erase_if(issue_order_, [&](const IssuedEntry& entry) {
      const auto it = issued_.find(entry.number);
      return it == issued_.end() || it->second != entry.sequence;
    });
  }
  return candidate;
}

void SessionStore::forget_oldest_issued_locked() {
  while (!issue_order_.empty()) {
    const IssuedEntry entry = issue_order_.front();
    issue_order_.pop_front();
    const auto it = issued_.find(entry.number);
    if (it != issued_.end() && it->second == entry.sequence) {
      issued_.erase(it);
      return;
    }
  }
}

bool SessionStore::in_results_locked(std::int32_t number) const {
  for (const auto& slot : results_) {
    if (slot.session == number) return true;
  }
  return false;
}

void SessionStore::register_locked(std::int32_t number) {
  issued_.erase(number);
  results_.push_back({number, nullptr});
  while (results_.size() > slots_) results_.pop_front();
}

void SessionStore::register_session(std::int32_t number) {
  std::lock_guard lock(mutex_);
  register_locked(number);
}

const char* SessionStore::store(std::int32_t number, std::string_view text) {
  auto copy = nul_terminated_copy(text);
  std::lock_guard lock(mutex_);
  ResultSlot* slot = nullptr;
  for (auto& candidate : results_) {
    if (candidate.session == number) {
      slot = &candidate;
      break;
    }
  }
  if (slot == nullptr) {
    register_locked(number);
    slot = &results_.back();
  }
  slot->text = std::move(copy);
  return slot->text.get();
}

std::size_t SessionStore::issued_count() const {
  std::lock_guard lock(mutex_);
  return issued_.size();
}

std::size_t SessionStore::slot_count() const {
  std::lock_guard lock(mutex_);
  return results_.size();
}

bool SessionStore::is_issued(std::int32_t number) const {
  std::lock_guard lock(mutex_);
  return issued_.contains(number);
}

const char* SessionStore::slot_text(std::size_t index) const {
  std::lock_guard lock(mutex_);
  return index < results_.size() ? results_[index].text.get() : nullptr;
}

SessionStore& session_store() {
  // Never destroyed: result pointers stay valid until the process ends, even
  // while other libraries' exit routines still call in.
  static auto* store = new SessionStore();
  return *store;
}

std::int32_t generate_session_number() { return session_store().generate(); }
void register_session(std::int32_t number) { session_store().register_session(number); }
const char* store_result_text(std::int32_t number, std::string_view text) {
  return session_store().store(number, text);
}

}  // namespace tavik::dllsat
