#pragma once
// A heartbeat run against a scripted module over TCP, with a clock whose
// sleeps skip ahead, so that protocol seconds pass in microseconds while
// the real threads (the probes) still run at their own pace.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include "connection/log_capture.h"
#include "connection/scripted_device.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/modes.h"
#include "kovo_base/connection/openers.h"
#include "mfe/heartbeat/connection_probe.h"
#include "mfe/heartbeat/heartbeat.h"
#include "mfe/heartbeat/heartbeat_testing.h"

namespace tavik::testing {

using mfe::heartbeat::Clock;
using mfe::heartbeat::HeartbeatSeams;
using mfe::heartbeat::ThreadRole;
using namespace std::chrono_literals;

// now() is the real clock plus every sleep so far; a sleep only yields.
class SkippingClock {
 public:
  Clock::time_point now() const { return Clock::now() + Clock::duration(skipped_.load()); }
  void sleep(Clock::duration d) {
    skipped_ += d.count();
    std::this_thread::sleep_for(100us);
  }

 private:
  std::atomic<Clock::rep> skipped_{0};
};

// Polls pred for up to a (real) time limit.
template <class Pred>
bool eventually(Pred pred, std::chrono::milliseconds limit = 20s) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!pred()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(1ms);
  }
  return true;
}

// Holds whoever calls wait() until open() is called.
class Gate {
 public:
  void wait() {
    std::unique_lock lock(lock_);
    ++waiting_;
    changed_.wait(lock, [this] { return open_; });
  }
  void open() {
    {
      std::lock_guard lock(lock_);
      open_ = true;
    }
    changed_.notify_all();
  }
  bool someone_waiting() {
    std::lock_guard lock(lock_);
    return waiting_ > 0;
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool open_ = false;
  int waiting_ = 0;
};

inline double seconds_between(Clock::time_point a, Clock::time_point b) {
  return std::chrono::duration<double>(b - a).count();
}

class HeartbeatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kovo_base::connection::enable_continuous_connection();
    kovo_base::connection::drop_connection();
  }
  void TearDown() override {
    // Any thread that outlived its stop ends before the log and the device go.
    if (auto left = mfe::heartbeat::stop_heartbeat_thread()) left->wait_for(20s);
    mfe::heartbeat::wait_for_probes(20s);
    kovo_base::connection::set_opener(kovo_base::connection::HandleKind::Tcp, {});
    kovo_base::connection::drop_connection();
  }

  // Answers the HeartBeatPDVs in turn with these steps; the last is repeated.
  void plug_module(std::vector<std::vector<ReadStep>> answers) {
    answers_.assign(answers.begin(), answers.end());
    device_ = std::make_unique<ScriptedDevice>([this](const codec::Bytes&) {
      std::lock_guard lock(lock_);
      beats_.push_back(clock_.now());
      auto steps = answers_.front();
      if (answers_.size() > 1) answers_.pop_front();
      return steps;
    });
    kovo_base::connection::set_opener(kovo_base::connection::HandleKind::Tcp, [this] { return device_->open_tcp(); });
  }

  HeartbeatSeams seams() {
    HeartbeatSeams s = HeartbeatSeams::real();
    s.now = [this] { return clock_.now(); };
    s.sleep = [this](Clock::duration d) { clock_.sleep(d); };
    s.start_thread = [this, real = s.start_thread](ThreadRole role, std::function<void()> body) {
      {
        std::lock_guard lock(lock_);
        (role == ThreadRole::Heartbeat ? heartbeat_starts_ : probe_starts_).push_back(clock_.now());
      }
      return real(role, std::move(body));
    };
    return s;
  }

  std::vector<Clock::time_point> beats() {
    std::lock_guard lock(lock_);
    return beats_;
  }
  std::vector<Clock::time_point> probe_starts() {
    std::lock_guard lock(lock_);
    return probe_starts_;
  }
  std::size_t heartbeat_threads() {
    std::lock_guard lock(lock_);
    return heartbeat_starts_.size();
  }

  SkippingClock clock_;
  LogCapture log_;
  std::mutex lock_;
  std::deque<std::vector<ReadStep>> answers_;
  std::vector<Clock::time_point> beats_;
  std::vector<Clock::time_point> probe_starts_;
  std::vector<Clock::time_point> heartbeat_starts_;
  std::unique_ptr<ScriptedDevice> device_;
};

inline std::vector<ReadStep> answer(std::optional<std::int32_t> session, std::vector<std::string> contents) {
  return {mfe_frame(session, std::move(contents), codec::MfeMessageType::HeartBeatPDV)};
}

}  // namespace tavik::testing
