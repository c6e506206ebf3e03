#pragma once
// The library keeps process-wide state that never goes back (the network
// method, the heartbeat thread, the filter), so each scenario runs in a child
// process of its own, forked before anything is loaded or started.
#include <chrono>
#include <functional>

namespace tavik::e2e {

// Runs body in a forked child and waits for it, at most limit (then the child
// is killed). The child's own GoogleTest prints its failures; its exit status
// tells the parent whether there were any.
//
// A child checks for leaks before it ends (LeakCheck::AtEnd). A scenario that
// unloads the library cannot: the state the library keeps past an unload on
// purpose (result texts stay readable) is then unreachable from any mapped
// module, and LeakSanitizer cannot tell it from a loss (LeakCheck::None).
enum class LeakCheck { AtEnd, None };
void run_in_child(const std::function<void()>& body, std::chrono::seconds limit = std::chrono::seconds(60),
                  LeakCheck leak_check = LeakCheck::AtEnd);

}  // namespace tavik::e2e
