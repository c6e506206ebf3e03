#pragma once
// A connection probe: a short-lived thread that opens (or checks) the TCP
// connection through the connection manager and releases it at once. The
// heartbeat thread never waits for one that is still running; everything the
// probe touches besides the connection manager is owned jointly by the probe
// and its watcher, so a probe left behind never reaches freed memory.
#include <memory>

#include "mfe/heartbeat/heartbeat_seams.h"
#include "mfe/heartbeat/thread_end.h"

namespace tavik::mfe::heartbeat {

class ConnectionProbe {
 public:
  // Starts the probe; nothing when no thread could be created (logged).
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
  ConnectionProbe(std::shared_ptr<Outcome> outcome, std::thread thread);

  std::shared_ptr<Outcome> outcome_;
  std::thread thread_;
};

}  // namespace tavik::mfe::heartbeat
