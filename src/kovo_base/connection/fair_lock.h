#pragma once
// A lock that is handed over in the order its users asked for it. With a
// plain mutex the thread that releases it and asks again at once (the
// heartbeat, when the module prescribes an interval of 5 s or less) wins
// again and again over a caller that has been waiting: calls of 16 ms took
// seconds. Here a caller that is waiting is served before anyone who asks
// after it.
#include <condition_variable>
#include <cstdint>
#include <mutex>

namespace tavik::kovo_base::connection {

class FairLock {
 public:
  // BasicLockable, so std::unique_lock and std::lock_guard take it.
  void lock();
  void unlock();
  // Takes the lock only when nobody holds it or waits for it, so a try never
  // jumps the queue.
  bool try_lock();

  // How many hold or wait for the lock (holder included); for tests that
  // must know a thread is queued before they go on.
  std::uint64_t queued() const;

 private:
  mutable std::mutex mutex_;
  std::condition_variable turn_;
  // Both guarded by mutex_: the ticket drawn next, and the one being served.
  std::uint64_t next_ticket_ = 0;
  std::uint64_t serving_ = 0;
};

}  // namespace tavik::kovo_base::connection
