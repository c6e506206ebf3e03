#include "mfe/export_calls.h"

#include <atomic>
#include <thread>

namespace tavik::mfe {
namespace {
// Constant-initialised: usable from the first export call to the last exit routine.
std::atomic<int> calls_in_progress{0};
}  // namespace

ExportCall::ExportCall() noexcept { calls_in_progress.fetch_add(1); }

ExportCall::~ExportCall() { calls_in_progress.fetch_sub(1); }

bool wait_for_export_calls(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (calls_in_progress.load() > 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

}  // namespace tavik::mfe
