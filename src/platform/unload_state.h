#pragma once
// What the library's exit routines may do while they run, for the routines
// that stop threads. On Windows they run inside DllMain: at FreeLibrary under
// the loader lock, which a thread needs in order to end, so joining it would
// never return; at process exit after the system has ended every other
// thread. Elsewhere both answers are always false.
#include <chrono>

namespace tavik::platform {

// True while exit routines run under a lock that an ending thread needs:
// wait for the thread's own signal with a bound, then detach it.
bool joining_threads_would_block();

// True while exit routines run after the system has ended the other threads:
// there is nothing left to stop or wait for.
bool other_threads_are_gone();

// After a thread has signalled its end and been detached at unload: gives it
// a bounded moment to run the last instructions of the library's code before
// the library is unmapped. Returns at once where no unload is under way.
void let_detached_thread_leave();

// Raised first thing by the library's release: the long waits inside the
// library (a beacon receive, a TCP connect) end promptly once it is up, so
// that no thread is left running library code that is about to be unmapped.
// Never lowered again in the library: a new load starts from fresh state.
void raise_shutdown();
bool shutting_down();

namespace testing {
// Lowers the signal again for the next test in the same process.
void lower_shutdown();
}  // namespace testing

}  // namespace tavik::platform
