// Bulk transfers of an open UsbHandle: the time-out conversion, partial
// transfers, the endpoints of each model and how failures are reported.
#include "kovo_base/usb/open_usb.h"
#include "kovo_base/usb/usb_handle.h"
#include "usb_fixture.h"

namespace tavik::testing {
namespace {

using kovo_base::IoKind;
using kovo_base::UsbErrorKind;
using kovo_base::usb::transfer_outcome;
using kovo_base::usb::transfer_timeout_ms;
using Bytes = std::vector<std::uint8_t>;

TEST(TransferRulesTest, TimeoutInMilliseconds) {
  EXPECT_EQ(transfer_timeout_ms(0, 0), 0u);
  EXPECT_EQ(transfer_timeout_ms(0, 100'000'000), 100u);
  EXPECT_EQ(transfer_timeout_ms(2, 0), 2000u);
  EXPECT_EQ(transfer_timeout_ms(1, 999'999'999), 1999u);
  // Never an unbounded wait for a time-out below one millisecond.
  EXPECT_EQ(transfer_timeout_ms(0, 1), 1u);
  EXPECT_EQ(transfer_timeout_ms(0, 999'999), 1u);
  EXPECT_EQ(transfer_timeout_ms(UINT64_MAX, 0), UINT_MAX);
  EXPECT_EQ(transfer_timeout_ms(5'000'000, 0), UINT_MAX);
}

TEST(TransferRulesTest, Outcome) {
  struct Case {
    int rc;
    int moved;
    std::optional<std::size_t> count;
    IoKind kind;
    std::optional<UsbErrorKind> usb_kind;
  };
  const Case cases[] = {
      {0, 17, 17, {}, {}},
      {0, 0, 0, {}, {}},
      {LIBUSB_ERROR_TIMEOUT, 5, 5, {}, {}},
      {LIBUSB_ERROR_INTERRUPTED, 3, 3, {}, {}},
      {LIBUSB_ERROR_TIMEOUT, 0, {}, IoKind::TimedOut, UsbErrorKind::Timeout},
      {LIBUSB_ERROR_INTERRUPTED, 0, {}, IoKind::Other, UsbErrorKind::Interrupted},
      {LIBUSB_ERROR_PIPE, 4, {}, IoKind::BrokenPipe, UsbErrorKind::Pipe},
      {LIBUSB_ERROR_NO_DEVICE, 0, {}, IoKind::BrokenPipe, UsbErrorKind::NoDevice},
      {LIBUSB_ERROR_OVERFLOW, 9, {}, IoKind::Other, UsbErrorKind::Overflow},
      {-99, 0, {}, IoKind::Other, UsbErrorKind::Other},
  };
  for (const auto& c : cases) {
    auto got = transfer_outcome(c.rc, c.moved);
    ASSERT_EQ(got.has_value(), c.count.has_value()) << c.rc << "/" << c.moved;
    if (got) {
      EXPECT_EQ(*got, *c.count);
    } else {
      EXPECT_EQ(got.error().io.kind, c.kind) << c.rc;
      EXPECT_EQ(got.error().usb_kind, c.usb_kind) << c.rc;
    }
  }
  EXPECT_EQ(transfer_outcome(LIBUSB_ERROR_NO_DEVICE, 0).error().io.display(),
            "No such device (it may have been disconnected)");
}

class UsbTransferTest : public UsbTest {
 protected:
  kovo_base::connection::Handle open(usb_double::DeviceSpec setup) {
    id_ = usb_double::plug(std::move(setup));
    auto handle = kovo_base::usb::open_usb();
    if (!handle) throw std::runtime_error(handle.error().debug());
    return std::move(*handle);
  }

  std::shared_ptr<usb_double::BufferLink> link_ = std::make_shared<usb_double::BufferLink>();
  usb_double::DeviceId id_ = 0;
};

TEST_F(UsbTransferTest, LargeWriteGoesOutInSeveralPartialTransfers) {
  auto handle = open(usb_double::vorta_mfe(1, 1, link_));
  usb_double::TransferFaults faults;
  faults.max_bytes = 100;  // each transfer cut off by its time-out
  usb_double::set_faults(id_, faults);
  handle.set_read_timeout(0, 100'000'000);
  Bytes frame(1000);
  for (std::size_t i = 0; i < frame.size(); ++i) frame[i] = static_cast<std::uint8_t>(i * 7);
  ASSERT_TRUE(handle.write_all(frame));
  EXPECT_EQ(link_->written(), frame);
  const auto transfers = usb_double::transfers();
  ASSERT_EQ(transfers.size(), 10u);
  EXPECT_EQ(transfers.front().requested, 1000u);
  EXPECT_EQ(transfers.back().requested, 100u);
  for (const auto& t : transfers) {
    EXPECT_FALSE(t.in);
    EXPECT_EQ(t.timeout_ms, 100u);
  }
}

TEST_F(UsbTransferTest, WriteThatMovesNothingFailsTimedOut) {
  auto handle = open(usb_double::vorta_mfe(1, 1, link_));
  usb_double::TransferFaults faults;
  faults.writes_time_out = true;
  usb_double::set_faults(id_, faults);
  handle.set_read_timeout(0, 100'000'000);
  auto written = handle.write_all(Bytes(10, 'x'));
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().kind, IoKind::TimedOut);
  EXPECT_EQ(written.error().display(), "Operation timed out");
}

TEST_F(UsbTransferTest, PartialReadsAndTheirStatus) {
  struct Case {
    const char* name;
    int cut_status;
    std::optional<std::size_t> count;
  };
  const Case cases[] = {
      {"time-out after some bytes", LIBUSB_ERROR_TIMEOUT, 8},
      {"interrupted after some bytes", LIBUSB_ERROR_INTERRUPTED, 8},
      {"overflow after some bytes", LIBUSB_ERROR_OVERFLOW, std::nullopt},
  };
  for (const auto& c : cases) {
    link_ = std::make_shared<usb_double::BufferLink>();
    auto handle = open(usb_double::ombrix(1, 1, link_));
    usb_double::TransferFaults faults;
    faults.max_bytes = 8;
    faults.cut_status = c.cut_status;
    usb_double::set_faults(id_, faults);
    handle.set_read_timeout(1, 0);
    link_->push(Bytes(20, 'a'));
    Bytes buffer(512);
    auto got = handle.read(buffer);
    ASSERT_EQ(got.has_value(), c.count.has_value()) << c.name;
    if (got) {
      EXPECT_EQ(*got, *c.count) << c.name;
    }
    usb_double::reset();
  }
}

TEST_F(UsbTransferTest, EachModelUsesItsEndpointsAndTheStoredTimeout) {
  for (auto setup : {usb_double::vorta_mfe(1, 1, link_), usb_double::ombrix(1, 1, link_)}) {
    auto handle = open(setup);
    handle.set_read_timeout(2, 500'000'000);
    ASSERT_TRUE(handle.write_all(Bytes{1, 2, 3}));
    link_->push(Bytes{4, 5});
    Bytes buffer(512);
    auto got = handle.read(buffer);
    ASSERT_TRUE(got) << got.error().io.display();
    EXPECT_EQ(*got, 2u);
    // The double refuses transfers on endpoints the device does not have.
    const auto transfers = usb_double::transfers();
    ASSERT_EQ(transfers.size(), 2u);
    EXPECT_EQ(transfers[0].status, 0);
    EXPECT_EQ(transfers[1].status, 0);
    EXPECT_EQ(transfers[0].timeout_ms, 2500u);
    EXPECT_EQ(transfers[1].timeout_ms, 2500u);
    EXPECT_EQ(transfers[1].requested, 512u);
    usb_double::reset();
  }
}

TEST_F(UsbTransferTest, ReadWaitsOutItsTimeout) {
  auto handle = open(usb_double::vorta_mfe(1, 1, link_));
  handle.set_read_timeout(0, 50'000'000);
  Bytes buffer(512);
  auto got = handle.read(buffer);
  ASSERT_FALSE(got);
  EXPECT_EQ(got.error().usb_kind, UsbErrorKind::Timeout);
  EXPECT_EQ(got.error().io.kind, IoKind::TimedOut);
  EXPECT_EQ(got.error().io.display(), "Operation timed out");
}

}  // namespace
}  // namespace tavik::testing
