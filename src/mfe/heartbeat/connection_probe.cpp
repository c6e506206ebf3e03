#include "mfe/heartbeat/connection_probe.h"

#include <system_error>

#include "kovo_base/connection/connection_slot.h"
#include "mfe/log/log.h"

namespace tavik::mfe::heartbeat {
namespace {
constexpr std::string_view background_target = "mfe::background";
}

ConnectionProbe::ConnectionProbe(std::shared_ptr<Outcome> outcome, std::thread thread)
    : outcome_(std::move(outcome)), thread_(std::move(thread)) {}

std::unique_ptr<ConnectionProbe> ConnectionProbe::start(const HeartbeatSeams& seams) {
  auto outcome = std::make_shared<Outcome>();
  std::shared_ptr<ThreadEnd> end(outcome, &outcome->end);
  auto body = [outcome] {
    // The TCP kind whatever the connection method; the guard goes at once.
    auto guard = kovo_base::connection::get_connection(kovo_base::connection::HandleKind::Tcp);
    outcome->succeeded = guard.has_value();
  };
  try {
    std::thread thread = seams.start_thread(ThreadRole::Probe, run_to_end(std::move(end), std::move(body)));
    return std::unique_ptr<ConnectionProbe>(new ConnectionProbe(std::move(outcome), std::move(thread)));
  } catch (const std::exception& e) {
    LOG_WARN(background_target, "Failed to start connection probe thread: {}", e.what());
    return nullptr;
  }
}

ConnectionProbe::~ConnectionProbe() {
  if (!thread_.joinable()) return;
  // A probe that has ended is joined at once; one still opening runs on to
  // its own end, holding its own share of the outcome.
  if (outcome_->end.ended()) {
    thread_.join();
  } else {
    thread_.detach();
  }
}

bool ConnectionProbe::ended() { return outcome_->end.ended(); }

bool ConnectionProbe::succeeded() { return outcome_->succeeded && !outcome_->end.failure(); }

}  // namespace tavik::mfe::heartbeat
