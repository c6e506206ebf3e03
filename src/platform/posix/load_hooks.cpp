// Compiled into the shared library only, so that tests linking the static
// core do not start the library behind their back.
#include "platform/load_hooks.h"
#include "platform/unload_state.h"

extern "C" {
// The C++ runtime's exit-routine list, keyed by the shared object that
// registers: glibc runs a key's routines when that object is unloaded, or at
// exit if it is still loaded then.
int __cxa_atexit(void (*routine)(void*), void* argument, void* dso_handle);
extern void* __dso_handle;
}

namespace tavik::platform {

namespace {
void run_routine(void* routine) { reinterpret_cast<void (*)()>(routine)(); }
}  // namespace

void register_exit_routine(void (*routine)()) {
  // Keyed by this library explicitly rather than through atexit(): a runtime
  // that intercepts atexit (ThreadSanitizer does) would otherwise tie the
  // routine to the program, and call it at exit after a dlclose had already
  // removed its code.
  __cxa_atexit(run_routine, reinterpret_cast<void*>(routine), &__dso_handle);
}

}  // namespace tavik::platform

__attribute__((constructor)) static void tavik_library_loaded() {
  tavik::platform::on_library_load();
  tavik::platform::watch_for_process_exit();  // after the exit routines: it must run before them
}
