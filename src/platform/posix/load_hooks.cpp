// Compiled into the shared library only, so that tests linking the static
// core do not start the library behind their back.
#include "platform/load_hooks.h"

#include <cstdlib>

namespace tavik::platform {

void register_exit_routine(void (*routine)()) {
  // Inside a shared object glibc ties atexit routines to that object, so they
  // run at dlclose as well as at process exit.
  std::atexit(routine);
}

}  // namespace tavik::platform

__attribute__((constructor)) static void tavik_library_loaded() { tavik::platform::on_library_load(); }
