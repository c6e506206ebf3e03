#include "mfe/heartbeat/heartbeat_loop.h"

#include <memory>

#include "mfe/heartbeat/connection_probe.h"
#include "mfe/heartbeat/wait_time.h"
#include "log/log.h"

namespace tavik::mfe::heartbeat {
namespace {

constexpr std::string_view background_target = "mfe::background";
// The wait between probes and after any failure, and the head start that an
// answer's interval is counted with.
constexpr auto probe_wait = std::chrono::seconds(5);
constexpr auto tick = std::chrono::seconds(1);

// The exchange's failure, or the interval read from its answer.
kovo_base::Result<std::uint64_t> prescribed_seconds(const kovo_base::Result<codec::MfeBody>& answer) {
  if (!answer) return std::unexpected(answer.error());
  return heartbeat_wait_seconds(*answer);
}

}  // namespace

Clock::duration interval_of(std::uint64_t seconds) {
  constexpr auto countable = std::chrono::duration_cast<std::chrono::seconds>(Clock::duration::max()).count();
  if (seconds >= static_cast<std::uint64_t>(countable)) return Clock::duration::max();
  return std::chrono::seconds(static_cast<std::int64_t>(seconds));
}

void run_heartbeat_loop(std::string_view name, StopReceiver& stop, const HeartbeatSeams& seams) {
  LOG_TRACE(background_target, "Starting {} thread", name);
  bool beating = false;
  std::unique_ptr<ConnectionProbe> worker;
  Clock::duration wait = probe_wait;
  Clock::time_point last = seams.now();

  for (;;) {
    if (beating) {
      const auto seconds = prescribed_seconds(seams.send_heartbeat());
      if (seconds) {
        wait = interval_of(*seconds);
        last = seams.now() - probe_wait;
      } else {
        LOG_WARN(background_target, "Failed to handle Heart Beat PDV message: {}", seconds.error().display());
        last = seams.now();
        beating = false;
        wait = probe_wait;
      }
    } else if (worker && worker->ended()) {
      beating = worker->succeeded();
      worker.reset();
      continue;
    } else {
      // A probe still running is left alone; none (or one that could not be
      // started) is replaced now.
      if (!worker) worker = ConnectionProbe::start(seams);
      last = seams.now();
    }

    for (;;) {
      // The stop is looked at first: with an interval of 5 s or less the
      // elapsed time always exceeds the wait at once, and a check placed
      // after it would never be reached.
      if (stop.poll() == Poll::Stop) return;  // a running probe is left to end on its own
      if (seams.now() - last > wait) break;
      seams.sleep(tick);
    }
  }
}

}  // namespace tavik::mfe::heartbeat
