// Changing the device filter while another thread (the heartbeat's probe)
// opens the connection: every opening from the change on uses the new
// filter, and a connection opened under the old one does not survive it.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <functional>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>
#include <vector>

#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/modes.h"
#include "kovo_base/connection/openers.h"
#include "kovo_base/device_filter.h"
#include "mfe/device_selection.h"

namespace tavik::testing {
namespace {

using kovo_base::DeviceFilter;
using kovo_base::IoError;
using kovo_base::IoKind;
using kovo_base::connection::Handle;
using kovo_base::connection::HandleKind;
using kovo_base::connection::TransferError;
using kovo_base::connection::TransferResult;
using namespace std::chrono_literals;

// What the connections saw of the filter: at each opening and at each close.
struct FilterLog {
  std::mutex lock;
  std::vector<DeviceFilter> at_open;
  std::vector<DeviceFilter> at_close;
};

// A USB connection that is always idle and notes the filter in force when it closes.
class NotingUsb final : public kovo_base::connection::UsbTransport {
 public:
  explicit NotingUsb(FilterLog& log) : log_(log) {}
  ~NotingUsb() override {
    std::lock_guard lock(log_.lock);
    log_.at_close.push_back(kovo_base::current_device_filter());
  }
  TransferResult write(std::span<const std::uint8_t> bytes) override { return bytes.size(); }
  TransferResult read(std::span<std::uint8_t>) override {
    return std::unexpected(TransferError::from_io(IoError::custom(IoKind::TimedOut, "idle")));
  }
  std::expected<void, IoError> set_read_timeout(std::uint64_t, std::uint32_t) override { return {}; }
  std::string debug() const override { return "Noting"; }

 private:
  FilterLog& log_;
};

class FilterChange : public ::testing::Test {
 protected:
  void SetUp() override {
    kovo_base::connection::enable_continuous_connection();
    mfe::clear_filters();
    install_opener([] {});
  }
  void TearDown() override {
    kovo_base::connection::drop_connection();
    kovo_base::connection::set_opener(HandleKind::Usb, {});
    mfe::clear_filters();
  }

  // Each opening notes the filter, then runs pause (which may block).
  void install_opener(std::function<void()> pause) {
    kovo_base::connection::set_opener(HandleKind::Usb, [this, pause] {
      {
        std::lock_guard lock(log_.lock);
        log_.at_open.push_back(kovo_base::current_device_filter());
      }
      pause();
      return kovo_base::Result<Handle>(Handle::usb(std::make_unique<NotingUsb>(log_)));
    });
  }

  FilterLog log_;
};

const DeviceFilter by_serial{std::nullopt, std::nullopt, std::nullopt, "111111"};
const DeviceFilter by_usb{1, 4, std::nullopt, std::nullopt};
const DeviceFilter none{};

struct ChangeCase {
  const char* name;
  DeviceFilter before;
  std::function<void()> change;
  DeviceFilter after;
  friend void PrintTo(const ChangeCase& c, std::ostream* out) { *out << c.name; }
};

class FilterExport : public FilterChange, public ::testing::WithParamInterface<ChangeCase> {};

TEST_P(FilterExport, OldConnectionClosesWithTheNewFilterInPlace) {
  const ChangeCase& c = GetParam();
  kovo_base::replace_device_filter(c.before);
  ASSERT_TRUE(kovo_base::connection::get_connection().has_value());  // the open connection, released at once

  c.change();

  std::lock_guard lock(log_.lock);
  ASSERT_FALSE(log_.at_close.empty()) << "the old connection was not closed";
  // Whatever opens once the old connection is gone finds only the new filter.
  EXPECT_EQ(log_.at_close.front(), c.after) << log_.at_close.front().debug();
  for (std::size_t i = 1; i < log_.at_open.size(); ++i) EXPECT_EQ(log_.at_open[i], c.after) << i;
}

INSTANTIATE_TEST_SUITE_P(
    Exports, FilterExport,
    ::testing::Values(ChangeCase{"serial", by_usb, [] { mfe::filter_by_serial("111111"); }, by_serial},
                      ChangeCase{"usb", by_serial, [] { mfe::filter_by_usb(257, 260); }, by_usb},
                      ChangeCase{"clear", by_serial, [] { mfe::clear_filters(); }, none}),
    [](const auto& info) { return std::string(info.param.name); });

// Holds an opening until released.
class Hold {
 public:
  void wait() {
    std::unique_lock lock(lock_);
    held_ = true;
    changed_.notify_all();
    changed_.wait(lock, [this] { return released_; });
  }
  bool wait_until_held(std::chrono::milliseconds limit) {
    std::unique_lock lock(lock_);
    return changed_.wait_for(lock, limit, [this] { return held_; });
  }
  void release() {
    std::lock_guard lock(lock_);
    released_ = true;
    changed_.notify_all();
  }

 private:
  std::mutex lock_;
  std::condition_variable changed_;
  bool held_ = false;
  bool released_ = false;
};

TEST_F(FilterChange, AnOpeningUnderWayDoesNotOutliveTheChange) {
  kovo_base::replace_device_filter(by_usb);
  Hold hold;
  install_opener([&] { hold.wait(); });
  // The probe opens under the old filter and holds the connection meanwhile.
  std::thread probe([] { (void)kovo_base::connection::get_connection(); });
  ASSERT_TRUE(hold.wait_until_held(10s));

  std::thread change([] { mfe::set_opening_options(std::nullopt, std::nullopt, std::nullopt, "111111"); });
  // The new filter is in place although the change still waits for the probe.
  const auto deadline = std::chrono::steady_clock::now() + 5s;
  while (kovo_base::current_device_filter() != by_serial && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(1ms);
  }
  EXPECT_EQ(kovo_base::current_device_filter(), by_serial);
  hold.release();
  probe.join();
  change.join();

  install_opener([] {});
  EXPECT_FALSE(kovo_base::connection::ConnectionSlot::process_slot().holds_handle())
      << "the connection opened under the old filter was kept";
  ASSERT_TRUE(kovo_base::connection::get_connection().has_value());
  std::lock_guard lock(log_.lock);
  ASSERT_EQ(log_.at_open.size(), 2u);
  EXPECT_EQ(log_.at_open.back(), by_serial);
}

}  // namespace
}  // namespace tavik::testing
