#include "kovo_base/connection/connection_slot.h"

#include <exception>
#include <thread>
#include <utility>

#include "kovo_base/connection/modes.h"
#include "kovo_base/connection/openers.h"
#include "log/log.h"

namespace tavik::kovo_base::connection {
namespace {
constexpr std::string_view connection_target = "kovo_base::connection";
}

ConnectionGuard::ConnectionGuard(ConnectionSlot& slot, std::unique_lock<FairLock> lock)
    : slot_(&slot), lock_(std::move(lock)), uncaught_on_entry_(std::uncaught_exceptions()) {}

ConnectionGuard::ConnectionGuard(ConnectionGuard&& other) noexcept
    : slot_(std::exchange(other.slot_, nullptr)),
      lock_(std::move(other.lock_)),
      uncaught_on_entry_(other.uncaught_on_entry_) {}

ConnectionGuard& ConnectionGuard::operator=(ConnectionGuard&& other) noexcept {
  if (this != &other) {
    release();
    slot_ = std::exchange(other.slot_, nullptr);
    lock_ = std::move(other.lock_);
    uncaught_on_entry_ = other.uncaught_on_entry_;
  }
  return *this;
}

ConnectionGuard::~ConnectionGuard() { release(); }

Handle& ConnectionGuard::handle() { return *slot_->handle_; }

void ConnectionGuard::release() noexcept {
  if (slot_ == nullptr) return;
  const bool abnormal = std::uncaught_exceptions() > uncaught_on_entry_;
  std::exchange(slot_, nullptr)->release(*this, abnormal);
}

ConnectionSlot::ConnectionSlot() : ConnectionSlot(open_handle) {}

ConnectionSlot::ConnectionSlot(OpenFunction open) : open_(std::move(open)) {}

ConnectionSlot& ConnectionSlot::process_slot() {
  // Never destroyed: a connection probe may still be running while the
  // process exits, and must not find the slot gone.
  static auto* slot = new ConnectionSlot();
  return *slot;
}

Result<ConnectionGuard> ConnectionSlot::acquire(HandleKind kind) {
  // One lock for filling and for use: callers that arrive while another opens
  // wait here, then use its handle or, if it failed, open themselves.
  std::unique_lock lock(lock_);
  if (!handle_) {
    auto opened = open_(kind);
    if (!opened) return std::unexpected(std::move(opened.error()));
    handle_.emplace(std::move(*opened));
  }

  LOG_TRACE(connection_target, "Checking connection");
  auto state = handle_->check_connection();
  if (!state) {
    LOG_TRACE(connection_target, "Failed to check: {}, trying to reopen", state.error().debug());
  } else if (*state == LinkState::Open) {
    LOG_TRACE(connection_target, "Connection still open");
  }
  if (!state || *state == LinkState::Closed) {
    LOG_TRACE(connection_target, "Connection is closed, opening it");
    // The new transport is opened before the old one is closed; a failed
    // reopen keeps the old handle for the next attempt.
    auto reopened = open_(kind);
    if (!reopened) return std::unexpected(std::move(reopened.error()));
    *handle_ = std::move(*reopened);
  }
  return ConnectionGuard(*this, std::move(lock));
}

void ConnectionSlot::release(ConnectionGuard& guard, bool abnormal) noexcept {
  if (abnormal) {
    // The call that was cut off ends with its own error; the connection,
    // perhaps mid-answer, goes with it instead of wedging every later call.
    LOG_TRACE(connection_target, "Exchange cut off, dropping the connection");
    handle_.reset();
  } else if (!continuous_mode()) {
    LOG_TRACE(connection_target, "Dropping USB connection");
    // Destroyed while the lock is still held, so that the next opener never
    // finds the device still claimed by this handle.
    handle_.reset();
  }
  guard.lock_.unlock();
}

void ConnectionSlot::drop() {
  std::lock_guard lock(lock_);
  handle_.reset();
}

bool ConnectionSlot::drop_within(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  std::unique_lock lock(lock_, std::try_to_lock);
  while (!lock.owns_lock()) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    lock.try_lock();
  }
  handle_.reset();
  return true;
}

bool ConnectionSlot::holds_handle() {
  std::lock_guard lock(lock_);
  return handle_.has_value();
}

Result<ConnectionGuard> get_connection() {
  return get_connection(network_mode() ? HandleKind::Tcp : HandleKind::Usb);
}

Result<ConnectionGuard> get_connection(HandleKind kind) {
  return ConnectionSlot::process_slot().acquire(kind);
}

void drop_connection() { ConnectionSlot::process_slot().drop(); }

bool drop_connection_within(std::chrono::milliseconds limit) {
  return ConnectionSlot::process_slot().drop_within(limit);
}

}  // namespace tavik::kovo_base::connection
