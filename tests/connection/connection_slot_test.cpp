// Opening, checking, reopening and releasing the one connection.
#include <gtest/gtest.h>

#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <vector>

#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/modes.h"
#include "kovo_base/connection/openers.h"
#include "log_capture.h"
#include "scripted_device.h"

namespace tavik::testing {
namespace {

using kovo_base::ConnectionError;
using kovo_base::IoError;
using kovo_base::IoKind;
using kovo_base::Result;
using kovo_base::UsbErrorKind;
using kovo_base::connection::ConnectionSlot;
using kovo_base::connection::Handle;
using kovo_base::connection::HandleKind;
using Events = std::vector<std::string>;

class SlotTest : public ::testing::Test {
 public:
  void SetUp() override { kovo_base::connection::enable_continuous_connection(); }
  void TearDown() override { kovo_base::connection::enable_continuous_connection(); }

  // Acquires and releases at once, as a probe does.
  Result<void> use(HandleKind kind = HandleKind::Usb) {
    auto guard = slot_.acquire(kind);
    if (!guard) return std::unexpected(guard.error());
    return {};
  }

  ScriptedDevice device_;
  bool opening_fails_ = false;
  ConnectionSlot slot_{[this](HandleKind kind) -> Result<Handle> {
    if (opening_fails_) return std::unexpected(ConnectionError::device_not_found());
    return kind == HandleKind::Usb ? device_.open_usb() : device_.open_tcp();
  }};
  LogCapture log_;
};

TEST_F(SlotTest, PerRequestModeClosesAfterEachUse) {
  kovo_base::connection::disable_continuous_connection();
  ASSERT_TRUE(use());
  EXPECT_FALSE(slot_.holds_handle());
  ASSERT_TRUE(use());
  EXPECT_EQ(device_.events(), (Events{"open 1", "close 1", "open 2", "close 2"}));
  EXPECT_EQ(log_.count("[TRACE]", "kovo_base::connection", "Dropping USB connection"), 2u);
  EXPECT_EQ(log_.count("[INFO]", "Disabling continuous connection"), 1u);
}

TEST_F(SlotTest, ContinuousModeKeepsTheHandle) {
  ASSERT_TRUE(use());
  ASSERT_TRUE(use());
  EXPECT_TRUE(slot_.holds_handle());
  EXPECT_EQ(device_.events(), (Events{"open 1"}));
  EXPECT_EQ(log_.count("Checking connection"), 2u);
  EXPECT_EQ(log_.count("Connection still open"), 2u);
  EXPECT_EQ(log_.count("Dropping USB connection"), 0u);
}

TEST_F(SlotTest, DisablingContinuousModeTakesEffectAtTheNextRelease) {
  auto guard = slot_.acquire(HandleKind::Usb);
  ASSERT_TRUE(guard);
  kovo_base::connection::disable_continuous_connection();
  guard->release();
  EXPECT_FALSE(slot_.holds_handle());
  EXPECT_EQ(device_.events(), (Events{"open 1", "close 1"}));
}

TEST_F(SlotTest, UsbCheckAnswersByTheFailureOfTheDrain) {
  struct Case {
    const char* name;
    UsbErrorKind failure;
    bool reopened;
  };
  const Case cases[] = {
      {"idle device times out", UsbErrorKind::Timeout, false},
      {"stalled endpoint", UsbErrorKind::Pipe, false},
      {"transfer I/O error", UsbErrorKind::Io, false},
      {"unplugged device", UsbErrorKind::NoDevice, true},
      {"access lost", UsbErrorKind::Access, true},
      {"overflow", UsbErrorKind::Overflow, true},
  };
  for (const auto& c : cases) {
    slot_.drop();
    ASSERT_TRUE(use()) << c.name;
    const auto before = device_.events().size();
    device_.queue(codec::Bytes{'s', 't', 'a', 'l', 'e'});
    device_.queue(usb_failure(c.failure));
    ASSERT_TRUE(use()) << c.name;
    EXPECT_EQ(device_.events().size() - before, c.reopened ? 2u : 0u) << c.name;
  }
}

TEST_F(SlotTest, ClosedConnectionIsReopenedBeforeTheOldOneCloses) {
  ASSERT_TRUE(use());
  device_.queue(usb_failure(UsbErrorKind::NoDevice));
  ASSERT_TRUE(use());
  EXPECT_EQ(device_.events(), (Events{"open 1", "open 2", "close 1"}));
  EXPECT_EQ(log_.count("Connection is closed, opening it"), 1u);
}

TEST_F(SlotTest, FailedReopenKeepsTheOldHandle) {
  ASSERT_TRUE(use());
  device_.queue(usb_failure(UsbErrorKind::NoDevice));
  opening_fails_ = true;
  auto failed = use();
  ASSERT_FALSE(failed);
  EXPECT_EQ(failed.error().kind(), ConnectionError::Kind::DeviceNotFound);
  EXPECT_TRUE(slot_.holds_handle());
  opening_fails_ = false;
  ASSERT_TRUE(use());  // the old handle checks open again and is used
  EXPECT_EQ(device_.events(), (Events{"open 1"}));
}

TEST_F(SlotTest, FailedFirstOpenLeavesTheSlotEmpty) {
  opening_fails_ = true;
  EXPECT_EQ(use().error().kind(), ConnectionError::Kind::DeviceNotFound);
  EXPECT_FALSE(slot_.holds_handle());
  opening_fails_ = false;
  EXPECT_TRUE(use());
}

TEST_F(SlotTest, TcpCheckReceivesOneRawByte) {
  struct Case {
    const char* name;
    std::expected<std::size_t, IoError> receive;
    bool reopened;
  };
  const Case cases[] = {
      {"nothing pending", std::unexpected(IoError::custom(IoKind::WouldBlock, "would block")), false},
      {"peer closed", 0u, true},
      {"stray data", 1u, true},
  };
  for (const auto& c : cases) {
    slot_.drop();
    ASSERT_TRUE(use(HandleKind::Tcp)) << c.name;
    const auto before = device_.events();
    device_.queue_raw_receive(c.receive);
    ASSERT_TRUE(use(HandleKind::Tcp)) << c.name;
    auto events = device_.events();
    events.erase(events.begin(), events.begin() + static_cast<std::ptrdiff_t>(before.size()));
    EXPECT_EQ(events.at(0), "socket timeout 10000000ns") << c.name;
    EXPECT_EQ(events.at(1), "socket timeout cleared") << c.name;
    EXPECT_EQ(events.size(), c.reopened ? 4u : 2u) << c.name;
  }
}

TEST_F(SlotTest, HeldHandleOfTheOtherKindIsUsedWhileOpen) {
  ASSERT_TRUE(use(HandleKind::Usb));
  ASSERT_TRUE(use(HandleKind::Tcp));
  EXPECT_EQ(device_.events(), (Events{"open 1"}));
}

TEST_F(SlotTest, AbnormalEndOfAHolderDropsTheConnectionOnly) {
  // An exchange cut off by an exception (memory exhausted, say) leaves the
  // device perhaps mid-answer: its connection goes, the next call opens anew.
  ASSERT_TRUE(use());
  try {
    auto guard = slot_.acquire(HandleKind::Usb);
    ASSERT_TRUE(guard);
    throw std::bad_alloc();
  } catch (const std::bad_alloc&) {
  }
  EXPECT_FALSE(slot_.holds_handle());
  EXPECT_TRUE(use());
  EXPECT_TRUE(use());
  EXPECT_EQ(device_.events(), (Events{"open 1", "close 1", "open 2"}));
}

TEST_F(SlotTest, WaitingCallerIsServedBeforeAHolderThatAsksAgain) {
  // The heartbeat with a prescribed interval of 0 releases the slot and asks
  // for it again at once; a caller already waiting must come first.
  auto heartbeat = slot_.acquire(HandleKind::Usb);
  ASSERT_TRUE(heartbeat);
  std::mutex order_lock;
  std::vector<std::string> order;
  auto note = [&](const char* who) {
    std::lock_guard lock(order_lock);
    order.emplace_back(who);
  };
  std::thread caller([&] {
    auto guard = slot_.acquire(HandleKind::Usb);
    EXPECT_TRUE(guard);
    note("caller");
  });
  while (slot_.queued() < 2) std::this_thread::yield();  // the caller waits behind the heartbeat
  heartbeat->release();
  auto again = slot_.acquire(HandleKind::Usb);
  ASSERT_TRUE(again);
  note("heartbeat");
  again->release();
  caller.join();
  EXPECT_EQ(order, (std::vector<std::string>{"caller", "heartbeat"}));
}

TEST_F(SlotTest, BoundedDropGivesUpWhileHeldAndDropsOnceFree) {
  // The unload's drop may not wait on an exchange that never ends, and it
  // must not jump ahead of a caller already queued for the connection.
  auto holder = slot_.acquire(HandleKind::Usb);
  ASSERT_TRUE(holder);
  EXPECT_FALSE(slot_.drop_within(std::chrono::milliseconds(20)));
  holder->release();
  EXPECT_TRUE(slot_.holds_handle());
  EXPECT_TRUE(slot_.drop_within(std::chrono::milliseconds(20)));
  EXPECT_FALSE(slot_.holds_handle());
}

TEST_F(SlotTest, GuardReleasedNormallyDuringUnrelatedUnwinding) {
  // A guard created and released while some other exception is in flight is
  // not an abnormal end of its own.
  struct UsesSlotWhileUnwinding {
    SlotTest* test;
    ~UsesSlotWhileUnwinding() { EXPECT_TRUE(test->use()); }
  };
  try {
    UsesSlotWhileUnwinding user{this};
    throw std::runtime_error("unrelated");
  } catch (const std::runtime_error&) {
  }
  EXPECT_TRUE(use());
}

TEST(ProcessSlot, WithoutATransportOpeningFindsNoDevice) {
  kovo_base::connection::set_opener(HandleKind::Usb, {});
  kovo_base::connection::drop_connection();
  auto guard = kovo_base::connection::get_connection();
  ASSERT_FALSE(guard);
  EXPECT_EQ(guard.error().kind(), ConnectionError::Kind::DeviceNotFound);
}

}  // namespace
}  // namespace tavik::testing
