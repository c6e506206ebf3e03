#pragma once
// The library's one connection to the fiscal module, and exclusive access to
// it for the length of one exchange.
#include <chrono>
#include <functional>
#include <mutex>
#include <optional>

#include "kovo_base/connection/fair_lock.h"
#include "kovo_base/connection/handle.h"
#include "kovo_base/connection_error.h"

namespace tavik::kovo_base::connection {

class ConnectionSlot;

// Holds the slot's lock from get_connection until it is destroyed. Releasing
// it in per-request mode closes the connection. A guard destroyed while an
// exception unwinds closes it in either mode: the exchange it held was cut
// off and the device may be mid-answer, so the next use opens anew.
class ConnectionGuard {
 public:
  ConnectionGuard(ConnectionGuard&& other) noexcept;
  ConnectionGuard& operator=(ConnectionGuard&& other) noexcept;
  ConnectionGuard(const ConnectionGuard&) = delete;
  ConnectionGuard& operator=(const ConnectionGuard&) = delete;
  ~ConnectionGuard();

  // The guarded handle; only before release().
  Handle& handle();
  // Ends the access early, as destruction would; later calls do nothing.
  void release() noexcept;

 private:
  friend class ConnectionSlot;
  ConnectionGuard(ConnectionSlot& slot, std::unique_lock<FairLock> lock);

  ConnectionSlot* slot_;
  std::unique_lock<FairLock> lock_;
  int uncaught_on_entry_;
};

// No handle or one, and the lock through which every use of it passes.
// get_connection() works on the process-wide slot; tests may build their own.
class ConnectionSlot {
 public:
  using OpenFunction = std::function<Result<Handle>(HandleKind)>;

  ConnectionSlot();
  explicit ConnectionSlot(OpenFunction open);
  ConnectionSlot(const ConnectionSlot&) = delete;
  ConnectionSlot& operator=(const ConnectionSlot&) = delete;

  static ConnectionSlot& process_slot();

  // Opens the slot's handle if it has none, checks it and reopens it when the
  // check finds it closed. kind chooses what is opened, not what is used.
  Result<ConnectionGuard> acquire(HandleKind kind);
  // Empties the slot, waiting for any guard to be released first.
  void drop();
  // The same, unless a guard stays held for longer than limit: false then,
  // and the slot is left as it is.
  bool drop_within(std::chrono::milliseconds limit);
  bool holds_handle();
  // How many guards hold or wait for the slot; for tests of the hand-over.
  std::uint64_t queued() const { return lock_.queued(); }

 private:
  friend class ConnectionGuard;
  void release(ConnectionGuard& guard, bool abnormal) noexcept;

  OpenFunction open_;
  // Handed over in arrival order, so that a caller waiting for the slot is
  // served before the heartbeat's next exchange.
  FairLock lock_;
  std::optional<Handle> handle_;  // guarded by lock_
};

// A guard over the process-wide connection, opened over TCP when network_mode
// says so, else over USB.
Result<ConnectionGuard> get_connection();
// The same with the kind to open fixed (the heartbeat's probe asks for TCP).
Result<ConnectionGuard> get_connection(HandleKind kind);

// Closes the process-wide connection; the next get_connection opens anew.
void drop_connection();
// At unload: the same, giving up (false) when the connection stays in use
// for longer than limit.
bool drop_connection_within(std::chrono::milliseconds limit);

}  // namespace tavik::kovo_base::connection
