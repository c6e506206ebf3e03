#include "mfe/heartbeat/connection_probe.h"

#include <algorithm>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include <fmt/format.h>

#include "kovo_base/connection/connection_slot.h"
#include "log/log.h"
#include "platform/unload_state.h"

namespace tavik::mfe::heartbeat {
namespace {

constexpr std::string_view background_target = "mfe::background";

struct RunningProbe {
  std::shared_ptr<ThreadEnd> end;
  std::thread thread;  // empty where the platform detached it
};

struct ProbeList {
  // The release only tries it for a bounded time: its holder may itself be
  // stuck behind the Windows loader lock that the release holds.
  std::mutex lock;
  std::vector<RunningProbe> probes;
};

ProbeList& probe_list() {
  // Never destroyed: the release routine uses it after later statics are gone.
  static ProbeList* list = new ProbeList;
  return *list;
}

// Lets a probe that has signalled its end finish leaving the library's code.
void finish(RunningProbe& probe) {
  if (!probe.thread.joinable()) return;
  // Under the Windows loader lock an ending thread cannot finish ending.
  if (platform::joining_threads_would_block()) {
    probe.thread.detach();
    platform::let_detached_thread_leave();
  } else {
    probe.thread.join();
  }
}

// Takes the probes that have ended out of the list and joins them (outside
// the lock: a join may wait for the thread's last instructions).
void reap_ended(ProbeList& list) {
  std::vector<RunningProbe> ended;
  {
    std::lock_guard lock(list.lock);
    auto it = list.probes.begin();
    while (it != list.probes.end()) {
      if (it->end->ended()) {
        ended.push_back(std::move(*it));
        it = list.probes.erase(it);
      } else {
        ++it;
      }
    }
  }
  for (RunningProbe& probe : ended) finish(probe);
}

// The lock, or an empty one when it stayed busy until deadline.
std::unique_lock<std::mutex> lock_until(std::mutex& lock, Clock::time_point deadline) {
  for (;;) {
    std::unique_lock held(lock, std::try_to_lock);
    if (held.owns_lock() || Clock::now() >= deadline) return held;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
}

}  // namespace

ConnectionProbe::ConnectionProbe(std::shared_ptr<Outcome> outcome) : outcome_(std::move(outcome)) {}

std::unique_ptr<ConnectionProbe> ConnectionProbe::start(const HeartbeatSeams& seams) {
  ProbeList& list = probe_list();
  reap_ended(list);
  auto outcome = std::make_shared<Outcome>();
  std::shared_ptr<ThreadEnd> end(outcome, &outcome->end);
  auto body = [outcome] {
    // The TCP kind whatever the connection method; the guard goes at once.
    auto guard = kovo_base::connection::get_connection(kovo_base::connection::HandleKind::Tcp);
    outcome->succeeded = guard.has_value();
  };
  try {
    // Checked and filled under one lock, so that the release either sees
    // this probe in the list or no probe starts at all.
    std::lock_guard lock(list.lock);
    if (platform::shutting_down()) return nullptr;
    std::thread thread = seams.start_thread(ThreadRole::Probe, run_to_end(end, std::move(body)));
    list.probes.push_back(RunningProbe{std::move(end), std::move(thread)});
    return std::unique_ptr<ConnectionProbe>(new ConnectionProbe(std::move(outcome)));
  } catch (const std::exception& e) {
    LOG_WARN(background_target, "Failed to start connection probe thread: {}", e.what());
    return nullptr;
  }
}

ConnectionProbe::~ConnectionProbe() {
  // A probe seen to end is joined now rather than at the next start.
  if (outcome_->end.ended()) reap_ended(probe_list());
}

bool ConnectionProbe::ended() { return outcome_->end.ended(); }

bool ConnectionProbe::succeeded() { return outcome_->succeeded && !outcome_->end.failure(); }

std::size_t wait_for_probes(Clock::duration limit) {
  const auto deadline = Clock::now() + limit;
  ProbeList& list = probe_list();
  std::vector<RunningProbe> probes;
  {
    auto lock = lock_until(list.lock, deadline);
    if (!lock.owns_lock()) {
      platform::keep_library_mapped();
      LOG_WARN(background_target, "Failed to clean close connection probe thread: {}", "ListBusy");
      return 1;
    }
    probes.swap(list.probes);
  }
  std::size_t left_running = 0;
  for (RunningProbe& probe : probes) {
    const auto remaining = std::max(deadline - Clock::now(), Clock::duration::zero());
    if (probe.end->wait_for(remaining)) {
      finish(probe);
    } else {
      ++left_running;
      if (probe.thread.joinable()) probe.thread.detach();  // it holds its own share of the outcome
    }
  }
  if (left_running > 0) {
    platform::keep_library_mapped();  // where possible, rather than unmap it under them
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(limit).count();
    LOG_WARN(background_target, "Failed to clean close connection probe thread: {}",
             fmt::format("StillRunning {{ count: {}, waited_ms: {} }}", left_running, waited));
  }
  return left_running;
}

}  // namespace tavik::mfe::heartbeat
