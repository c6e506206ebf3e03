// What the load hook does: start the library, then register its release and
// the SAT layer's release line. Exit routines run in reverse order, so the
// SAT layer's line comes before library_release.
#include "dllsat/send_sat_command.h"
#include "mfe/lifecycle.h"
#include "platform/load_hooks.h"

namespace {

void release_library() noexcept {
  try {
    tavik::mfe::library_release();
  } catch (...) {
  }
}

void release_sat_layer() noexcept {
  try {
    tavik::dllsat::release_line();
  } catch (...) {
  }
}

}  // namespace

void tavik::platform::on_library_load() {
  try {
    tavik::mfe::library_init();
  } catch (...) {
    // Loading never fails: whatever did not start stays at its default.
  }
  register_exit_routine(release_library);
  register_exit_routine(release_sat_layer);
}
