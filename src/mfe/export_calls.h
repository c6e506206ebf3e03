#pragma once
// The host's calls in progress inside the exports. A host that unloads the
// library while another of its threads is still inside an export (one blocked
// on a module that stopped reading, say) would have that thread return into
// unmapped code; the release wakes the thread's socket and then lets it leave.
#include <chrono>

namespace tavik::mfe {

// Counts one call for its lifetime.
class ExportCall {
 public:
  ExportCall() noexcept;
  ~ExportCall();
  ExportCall(const ExportCall&) = delete;
  ExportCall& operator=(const ExportCall&) = delete;
};

// Waits until no call is in progress, at most limit; false when some remain.
bool wait_for_export_calls(std::chrono::milliseconds limit);

}  // namespace tavik::mfe
