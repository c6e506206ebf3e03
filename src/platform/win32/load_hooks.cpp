// Compiled into the DLL only, so that test programs linking the static core
// do not start the library behind their back.
#include "platform/load_hooks.h"

#include <windows.h>

#include <openssl/crypto.h>

#include <mutex>
#include <vector>

#include "platform/win32/unload_state_control.h"

namespace tavik::platform {

namespace {

// The library's own list rather than atexit: DllMain's detach runs before the
// C runtime's teardown, so the routines still see every static alive, and
// DllMain knows whether the process is ending.
struct ExitRoutines {
  std::mutex lock;
  std::vector<void (*)()> routines;
};

ExitRoutines& exit_routines() {
  // Never destroyed: it is used after the runtime's own teardown has begun.
  static ExitRoutines* routines = new ExitRoutines;
  return *routines;
}

void run_exit_routines() noexcept {
  std::vector<void (*)()> routines;
  try {
    ExitRoutines& list = exit_routines();
    std::lock_guard guard(list.lock);
    routines.swap(list.routines);
  } catch (...) {
    return;
  }
  for (auto it = routines.rbegin(); it != routines.rend(); ++it) (*it)();
}

}  // namespace

void register_exit_routine(void (*routine)()) {
  try {
    ExitRoutines& list = exit_routines();
    std::lock_guard guard(list.lock);
    list.routines.push_back(routine);
  } catch (...) {
    // Out of memory at load: the routine is not run at unload.
  }
}

}  // namespace tavik::platform

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
  using tavik::platform::win32::UnloadKind;
  switch (reason) {
    case DLL_PROCESS_ATTACH:
      // OpenSSL would register its clean-up with the C runtime's
      // process-wide exit list (_onexit): after a FreeLibrary that entry
      // points into unmapped code and the host crashes when it exits. Its
      // state lives until the process ends instead, like the library's own.
      OPENSSL_init_crypto(OPENSSL_INIT_NO_ATEXIT, nullptr);
      try {
        tavik::platform::on_library_load();
      } catch (...) {
        // Loading never fails.
      }
      break;
    case DLL_PROCESS_DETACH:
      // reserved is non-null when the process is ending: the system has
      // already ended every other thread. Otherwise FreeLibrary holds the
      // loader lock while we run.
      tavik::platform::win32::set_unload_kind(reserved != nullptr ? UnloadKind::ProcessExit
                                                                  : UnloadKind::LibraryUnload);
      tavik::platform::run_exit_routines();
      tavik::platform::win32::set_unload_kind(UnloadKind::None);
      break;
    default: break;
  }
  return TRUE;
}
