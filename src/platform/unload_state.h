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

// True while exit routines run because the library alone is unloaded
// (dlclose, FreeLibrary) and the process goes on: the release then also
// closes what the process would otherwise keep open for the next load. False
// at process exit, when nothing may block and other libraries may already be
// torn down.
bool unloading_while_process_runs();

// Called by the load hook after the exit routines are registered (POSIX):
// leaves a mark, run at process exit just before those routines, by which
// unloading_while_process_runs() tells exit from unload.
void watch_for_process_exit();

// When the release had to leave a thread running in the library's code:
// keeps the library mapped for good where the platform allows it (Windows
// pins the DLL); elsewhere nothing can be done once the unload is under way.
void keep_library_mapped() noexcept;

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
