#include "platform/unload_state.h"

#include <atomic>

// glibc runs exit routines outside any lock that threads need to end, and
// other threads are still alive at exit: joins are always possible.
namespace tavik::platform {

namespace {
// Constant-initialised: readable from any thread at any time, also while the
// exit routines run.
std::atomic<bool> shutdown_raised{false};
}  // namespace

bool joining_threads_would_block() { return false; }

bool other_threads_are_gone() { return false; }

void let_detached_thread_leave() {}

void raise_shutdown() { shutdown_raised.store(true); }

bool shutting_down() { return shutdown_raised.load(); }

void testing::lower_shutdown() { shutdown_raised.store(false); }

}  // namespace tavik::platform
