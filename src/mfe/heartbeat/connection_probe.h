#pragma once
// A connection probe: a short-lived thread that opens (or checks) the TCP
// connection through the connection manager and releases it at once. The
// heartbeat thread never waits for one that is still running; everything the
// probe touches besides the connection manager is owned jointly by the probe
// and its watcher, so a probe left behind never reaches freed memory.
//
// Every probe thread is also kept in one process-wide list until it has been
// seen to end, so that the library's release can wait for the probes that the
// heartbeat thread left running: a thread still in the library's code when
// the library is unmapped would crash the host.
#include <cstddef>
#include <memory>

#include "mfe/heartbeat/heartbeat_seams.h"
#include "mfe/heartbeat/thread_end.h"

namespace tavik::mfe::heartbeat {

class ConnectionProbe {
 public:
  // Starts the probe; nothing when no thread could be created (logged) or
  // when the library is being released.
  static std::unique_ptr<ConnectionProbe> start(const HeartbeatSeams& seams);

  ~ConnectionProbe();

  bool ended();
  // Only once ended(): whether the connection could be obtained.
  bool succeeded();

 private:
  struct Outcome {
    ThreadEnd end;
    bool succeeded = false;  // written by the probe before end.finish()
  };
  explicit ConnectionProbe(std::shared_ptr<Outcome> outcome);

  std::shared_ptr<Outcome> outcome_;
};

// At release, once platform::raise_shutdown() has stopped new probes from
// starting: waits until every probe started so far has ended, at most limit
// in all, and joins those that can be joined. Returns how many it had to
// leave running (logged).
std::size_t wait_for_probes(Clock::duration limit);

}  // namespace tavik::mfe::heartbeat
