#pragma once
// Which exchanges the soak faulted: read from the simulators' log lines and
// from the mode changer's moments without a module. A call that ends in one
// of the library's error texts must be explained here; any other call owes
// the module's own answer.
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string_view>
#include <unordered_set>

namespace tavik::soak {

class FaultLedger {
 public:
  using Clock = std::chrono::steady_clock;

  // One line of a simulator's log. An answer fault reads
  // "... -> 004321|...| [fault wrong-crc]" (the session number leads the
  // answer); a connection fault "... fault close-after-accept on connect".
  void note_simulator_line(std::string_view line);

  // How the device filter lets the library reach a module, from now on.
  enum class Reach : std::uint8_t {
    Direct,     // by address, or the first module heard
    Discovery,  // by serial: a discovery may end without hearing that module
    None,       // an address where nothing listens, a USB position
  };
  void module_reach(Reach reach);

  // Settles the call with this session number that ran from `started` to
  // `ended` and ended in an error text (`device_not_found`: "SAT
  // Desconectado"): whether an injected fault or the filter of the moment
  // explains it. Forgets the session either way.
  bool settle(std::int32_t session, Clock::time_point started, Clock::time_point ended, bool device_not_found);
  // For a call that got its answer: only forgets the session.
  void forget(std::int32_t session);

  std::uint64_t faults_injected() const;
  std::uint64_t failing_faults() const;

 private:
  void forget_old(Clock::time_point now);

  mutable std::mutex mutex_;
  std::uint64_t injected_ = 0;
  std::uint64_t failing_ = 0;
  std::unordered_set<std::int32_t> failing_sessions_;
  std::deque<Clock::time_point> failing_connections_;
  struct ReachPeriod {
    Reach reach;
    Clock::time_point from;
    std::optional<Clock::time_point> to;  // none: still so
  };
  std::deque<ReachPeriod> indirect_;  // periods without direct reach
};

}  // namespace tavik::soak
