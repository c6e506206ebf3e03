#include "mfe/heartbeat/heartbeat.h"

#include <cstdint>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include "kovo_base/connection/modes.h"
#include "mfe/heartbeat/connection_probe.h"
#include "mfe/heartbeat/heartbeat_loop.h"
#include "mfe/heartbeat/heartbeat_testing.h"
#include "mfe/heartbeat/stop_channel.h"
#include "log/log.h"
#include "platform/unload_state.h"

namespace tavik::mfe {
namespace heartbeat {
namespace {

constexpr std::string_view background_target = "mfe::background";
constexpr std::string_view thread_name = "HeartBeater";
// Once the shutdown signal is up and the sockets are woken, a probe ends
// within a fraction of a second (its other waits run in 100 ms slices); this
// covers that with a wide margin and keeps the release under 3 s with the
// heartbeat's share.
constexpr auto probe_stop_wait_limit = std::chrono::seconds(1);

struct HeartbeatThread {
  HeartbeatThread(std::uint64_t id, StopSender stop, std::shared_ptr<ThreadEnd> end, Clock::duration stop_wait_limit)
      : id(id), stop(std::move(stop)), end(std::move(end)), stop_wait_limit(stop_wait_limit) {}
  HeartbeatThread(HeartbeatThread&&) noexcept = default;
  ~HeartbeatThread() {
    if (thread.joinable()) thread.detach();
  }

  std::uint64_t id;
  std::string name{thread_name};
  StopSender stop;
  std::shared_ptr<ThreadEnd> end;
  Clock::duration stop_wait_limit;
  // Empty while the start that filled the slot is still creating the thread.
  std::thread thread;
};

struct HeartbeatSlot {
  std::mutex lock;
  std::optional<HeartbeatThread> entry;
  std::uint64_t next_id = 1;
};

HeartbeatSlot& heartbeat_slot() {
  // Never destroyed: the release routine may run after function-local
  // statics created later than its registration are gone.
  static HeartbeatSlot* slot = new HeartbeatSlot;
  return *slot;
}

// Fills the empty slot with an entry whose thread is still to be created,
// so that concurrent starts agree on one thread. Nothing when it was full.
struct Reservation {
  std::uint64_t id;
  std::shared_ptr<StopReceiver> receiver;
  std::shared_ptr<ThreadEnd> end;
};

std::optional<Reservation> reserve(HeartbeatSlot& slot, const HeartbeatSeams& seams) {
  std::lock_guard lock(slot.lock);
  if (slot.entry) return std::nullopt;
  auto [sender, receiver] = make_stop_channel();
  auto end = std::make_shared<ThreadEnd>();
  const std::uint64_t id = slot.next_id++;
  slot.entry.emplace(id, std::move(sender), end, seams.stop_wait_limit);
  return Reservation{id, std::make_shared<StopReceiver>(std::move(receiver)), std::move(end)};
}

void launch(HeartbeatSlot& slot, Reservation reservation, const HeartbeatSeams& seams) {
  auto body = [receiver = reservation.receiver, seams] { run_heartbeat_loop(thread_name, *receiver, seams); };
  reservation.receiver.reset();
  try {
    std::thread thread = seams.start_thread(ThreadRole::Heartbeat, run_to_end(reservation.end, std::move(body)));
    std::lock_guard lock(slot.lock);
    // A stop that took the entry meanwhile waits on its end instead.
    if (slot.entry && slot.entry->id == reservation.id) {
      slot.entry->thread = std::move(thread);
    } else {
      thread.detach();
    }
  } catch (const std::exception& e) {
    LOG_ERROR(background_target, "Failed to start {} thread: {}", thread_name, e.what());
    {
      std::lock_guard lock(slot.lock);
      if (slot.entry && slot.entry->id == reservation.id) slot.entry.reset();
    }
    reservation.end->finish("NotStarted");
  }
}

}  // namespace

void start_heartbeat(const HeartbeatSeams& seams) {
  try {
    HeartbeatSlot& slot = heartbeat_slot();
    if (auto reservation = reserve(slot, seams)) {
      launch(slot, std::move(*reservation), seams);
    } else {
      LOG_TRACE(background_target, "Hearty Beat thread already started");
    }
  } catch (const std::exception& e) {
    LOG_ERROR(background_target, "Failed to start {} thread: {}", thread_name, e.what());
  } catch (...) {
    LOG_ERROR(background_target, "Failed to start {} thread", thread_name);
  }
  kovo_base::connection::set_network_mode();
}

std::shared_ptr<ThreadEnd> stop_heartbeat_thread() {
  // At process exit on Windows the system has already ended the thread.
  if (platform::other_threads_are_gone()) return nullptr;
  std::optional<HeartbeatThread> taken;
  {
    HeartbeatSlot& slot = heartbeat_slot();
    std::lock_guard lock(slot.lock);
    if (slot.entry) {
      taken.emplace(std::move(*slot.entry));
      slot.entry.reset();
    }
  }
  if (!taken) return nullptr;
  HeartbeatThread& hb = *taken;

  if (auto sent = hb.stop.send(); !sent) {
    LOG_WARN(background_target, "Failed to cancel {} thread: {}", hb.name, sent.error());
    return hb.end;  // released without waiting
  }
  if (!hb.end->wait_for(hb.stop_wait_limit)) {
    const auto waited = std::chrono::duration_cast<std::chrono::milliseconds>(hb.stop_wait_limit).count();
    LOG_WARN(background_target, "Failed to clean close {} thread: {}", hb.name,
             fmt::format("StillRunning {{ waited_ms: {} }}", waited));
    platform::keep_library_mapped();  // where possible, rather than unmap it under the thread
    return hb.end;  // left to end on its own; it owns everything it uses
  }
  if (hb.thread.joinable()) {
    // Under the Windows loader lock an ending thread cannot finish ending.
    if (platform::joining_threads_would_block()) {
      hb.thread.detach();
      platform::let_detached_thread_leave();
    } else {
      hb.thread.join();
    }
  }
  if (auto failure = hb.end->failure()) {
    LOG_WARN(background_target, "Failed to clean close {} thread: {}", hb.name, *failure);
  }
  LOG_TRACE(background_target, "Clean closed {} thread", hb.name);
  return nullptr;
}

namespace {

struct LibrarySeams {
  std::mutex lock;
  std::optional<HeartbeatSeams> replaced;
};

LibrarySeams& library_seams() {
  // Never destroyed, like the slot: a start may follow the statics' end.
  static auto* seams = new LibrarySeams;
  return *seams;
}

HeartbeatSeams seams_for_library_start() {
  LibrarySeams& seams = library_seams();
  std::lock_guard lock(seams.lock);
  return seams.replaced ? *seams.replaced : HeartbeatSeams::real();
}

}  // namespace

void replace_library_seams(HeartbeatSeams seams) {
  LibrarySeams& library = library_seams();
  std::lock_guard lock(library.lock);
  library.replaced = std::move(seams);
}

}  // namespace heartbeat

void start_heartbeat() { heartbeat::start_heartbeat(heartbeat::seams_for_library_start()); }

void stop_heartbeat() {
  try {
    heartbeat::stop_heartbeat_thread();
  } catch (...) {
    // Runs at unload: nothing may leave it.
  }
}

void stop_connection_probes() {
  try {
    // At process exit on Windows the system has already ended them.
    if (platform::other_threads_are_gone()) return;
    heartbeat::wait_for_probes(heartbeat::probe_stop_wait_limit);
  } catch (...) {
  }
}

}  // namespace tavik::mfe
