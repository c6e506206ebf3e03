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
void run_in_child(const std::function<void()>& body, std::chrono::seconds limit = std::chrono::seconds(60));

}  // namespace tavik::e2e
