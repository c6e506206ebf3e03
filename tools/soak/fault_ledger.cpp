#include "fault_ledger.h"

#include <charconv>

#include "soak_faults.h"

namespace tavik::soak {
namespace {

// How long a connection fault or a period without direct reach is remembered: longer than any
// call may take (the longest read time-out, 40 s, plus one exchange
// allowance per caller thread), so it is still there when its call settles.
constexpr auto kRemembered = std::chrono::minutes(5);

constexpr std::string_view kAnswerMark = "-> ";
constexpr std::string_view kAnswerFault = " [fault ";
constexpr std::string_view kConnectionFault = "fault ";
constexpr std::string_view kOnConnect = " on connect";

std::optional<std::int32_t> leading_session(std::string_view answer) {
  const std::string_view first = answer.substr(0, answer.find('|'));
  std::int32_t session = 0;
  const auto [end, error] = std::from_chars(first.data(), first.data() + first.size(), session);
  if (first.empty() || error != std::errc{} || end != first.data() + first.size()) return std::nullopt;
  return session;
}

}  // namespace

void FaultLedger::note_simulator_line(std::string_view line) {
  std::string_view name;
  std::optional<std::int32_t> session;
  if (const auto mark = line.rfind(kAnswerFault); mark != std::string_view::npos && line.ends_with(']')) {
    name = line.substr(mark + kAnswerFault.size());
    name.remove_suffix(1);
    const auto answer = line.find(kAnswerMark);
    if (answer != std::string_view::npos) session = leading_session(line.substr(answer + kAnswerMark.size()));
  } else if (line.ends_with(kOnConnect)) {
    const auto mark = line.rfind(kConnectionFault);
    if (mark == std::string_view::npos) return;
    name = line.substr(mark + kConnectionFault.size());
    name.remove_suffix(kOnConnect.size());
  } else {
    return;
  }
  const auto fault = soak_fault_named(name);
  const auto now = Clock::now();
  std::lock_guard lock(mutex_);
  ++injected_;
  if (!fault || fault->answer_survives) return;
  ++failing_;
  if (session && *session != 0) {
    failing_sessions_.insert(*session);
  } else {
    // A connection fault, or one on the heartbeat's exchange (session 0),
    // which shares the callers' connection: it hits whichever call runs then.
    failing_connections_.push_back(now);
  }
  forget_old(now);
}

void FaultLedger::module_reach(Reach reach) {
  const auto now = Clock::now();
  std::lock_guard lock(mutex_);
  if (!indirect_.empty() && !indirect_.back().to) {
    if (indirect_.back().reach == reach) return;
    indirect_.back().to = now;
  }
  if (reach != Reach::Direct) indirect_.push_back({reach, now, std::nullopt});
  forget_old(now);
}

bool FaultLedger::settle(std::int32_t session, Clock::time_point started, Clock::time_point ended,
                         bool device_not_found) {
  std::lock_guard lock(mutex_);
  if (failing_sessions_.erase(session) != 0) return true;
  // A connection fault hits the exchange that opened the connection: a call
  // running at that moment, whichever it was.
  for (const auto& when : failing_connections_) {
    if (when >= started && when <= ended) return true;
  }
  for (const auto& period : indirect_) {
    const bool overlaps = period.from <= ended && (!period.to || *period.to >= started);
    if (overlaps && (period.reach == Reach::None || device_not_found)) return true;
  }
  return false;
}

void FaultLedger::forget(std::int32_t session) {
  std::lock_guard lock(mutex_);
  failing_sessions_.erase(session);
}

std::uint64_t FaultLedger::faults_injected() const {
  std::lock_guard lock(mutex_);
  return injected_;
}

std::uint64_t FaultLedger::failing_faults() const {
  std::lock_guard lock(mutex_);
  return failing_;
}

void FaultLedger::forget_old(Clock::time_point now) {
  while (!failing_connections_.empty() && now - failing_connections_.front() > kRemembered) {
    failing_connections_.pop_front();
  }
  while (!indirect_.empty() && indirect_.front().to && now - *indirect_.front().to > kRemembered) {
    indirect_.pop_front();
  }
}

}  // namespace tavik::soak
