#include "platform/unload_state.h"

#include <semaphore.h>

#include <atomic>
#include <new>

extern "C" int __cxa_atexit(void (*routine)(void*), void* argument, void* dso_handle);

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

namespace {
// Posted by the C library at exit, never at dlclose: null until the load hook
// set it up, then leaked on purpose (the exit entry keeps pointing at it).
std::atomic<sem_t*> exit_mark{nullptr};
}  // namespace

void watch_for_process_exit() {
  auto* mark = new (std::nothrow) sem_t;
  if (mark == nullptr || sem_init(mark, 0, 0) != 0) return;
  // Keyed to the mark itself, a handle that names no shared object: dlclose
  // finalises only its own object's routines and leaves this one alone, and
  // exit runs it before the library's own routines (registered earlier). Not
  // a null handle: ThreadSanitizer's interception of that form calls the
  // routine without its argument. The routine is the C library's sem_post,
  // so it stays valid after the library is gone.
  auto* post = reinterpret_cast<void (*)(void*)>(reinterpret_cast<void (*)()>(&sem_post));
  if (__cxa_atexit(post, mark, mark) != 0) return;
  exit_mark.store(mark);
}

bool unloading_while_process_runs() {
  sem_t* mark = exit_mark.load();
  if (mark == nullptr) return false;  // cannot tell: do only what is safe at exit
  int posted = 0;
  return sem_getvalue(mark, &posted) == 0 && posted == 0;
}

void keep_library_mapped() noexcept {}

void raise_shutdown() { shutdown_raised.store(true); }

bool shutting_down() { return shutdown_raised.load(); }

void testing::lower_shutdown() { shutdown_raised.store(false); }

}  // namespace tavik::platform
