#include "kovo_base/connection/fair_lock.h"

namespace tavik::kovo_base::connection {

void FairLock::lock() {
  std::unique_lock lock(mutex_);
  const std::uint64_t ticket = next_ticket_++;
  turn_.wait(lock, [&] { return serving_ == ticket; });
}

bool FairLock::try_lock() {
  std::lock_guard lock(mutex_);
  if (next_ticket_ != serving_) return false;
  ++next_ticket_;
  return true;
}

void FairLock::unlock() {
  {
    std::lock_guard lock(mutex_);
    ++serving_;
  }
  // Every waiter looks whether its ticket is served; there are a handful at most.
  turn_.notify_all();
}

std::uint64_t FairLock::queued() const {
  std::lock_guard lock(mutex_);
  return next_ticket_ - serving_;
}

}  // namespace tavik::kovo_base::connection
