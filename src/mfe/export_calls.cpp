#include "mfe/export_calls.h"

#include <atomic>
#include <thread>

namespace tavik::mfe {
namespace {
// Constant-initialised: usable from the first export call to the last exit routine.
std::atomic<int> calls_in_progress{0};
// A thread returning from an export runs a few instructions of the library
// after the count drops; on a loaded machine a time slice or two.
constexpr auto last_instructions_grace = std::chrono::milliseconds(20);
}  // namespace

ExportCall::ExportCall() noexcept { calls_in_progress.fetch_add(1); }

ExportCall::~ExportCall() { calls_in_progress.fetch_sub(1); }

bool wait_for_export_calls(std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  if (calls_in_progress.load() == 0) return true;
  while (calls_in_progress.load() > 0) {
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  // The count drops before the export returns: a moment for the last
  // instructions of the library's code on that thread.
  std::this_thread::sleep_for(last_instructions_grace);
  return true;
}

}  // namespace tavik::mfe
