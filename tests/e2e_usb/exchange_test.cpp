// One exchange over USB as the library carries it out: transfers split by
// their time-out, transfers that time out, the liveness check before each
// call, and the device going away and coming back.
#include <deque>
#include <mutex>

#include "codec/frame.h"
#include "e2e_usb/e2e_usb_fixture.h"

namespace tavik::e2e_usb {
namespace {

// The simulated module behind bytes that the test makes the device send
// first, as if left over from an earlier exchange.
class PendingInputLink final : public usb_double::BulkLink {
 public:
  explicit PendingInputLink(std::shared_ptr<usb_double::BulkLink> module) : module_(std::move(module)) {}

  void leave_pending(usb_double::Bytes bytes) {
    std::lock_guard lock(lock_);
    pending_.push_back(std::move(bytes));
  }

  void write(std::span<const std::uint8_t> bytes) override { module_->write(bytes); }

  std::expected<usb_double::Bytes, End> read(std::size_t max_bytes, std::chrono::milliseconds timeout) override {
    {
      std::lock_guard lock(lock_);
      if (!pending_.empty()) {
        auto& front = pending_.front();
        const std::size_t n = std::min(max_bytes, front.size());
        usb_double::Bytes piece(front.begin(), front.begin() + static_cast<std::ptrdiff_t>(n));
        front.erase(front.begin(), front.begin() + static_cast<std::ptrdiff_t>(n));
        if (front.empty()) pending_.pop_front();
        return piece;
      }
    }
    return module_->read(max_bytes, timeout);
  }

 private:
  std::shared_ptr<usb_double::BulkLink> module_;
  std::mutex lock_;
  std::deque<usb_double::Bytes> pending_;
};

class ExchangeTest : public UsbLibraryTest {
 protected:
  usb_double::DeviceId plug_module(std::uint8_t port = 4) {
    return usb_double::plug(usb_double::vorta_mfe(1, port, usb_double::simulator_link(*module_)));
  }
  static std::vector<usb_double::Transfer> transfers_out() {
    std::vector<usb_double::Transfer> out;
    for (const auto& t : usb_double::transfers()) {
      if (!t.in) out.push_back(t);
    }
    return out;
  }

  std::unique_ptr<simulator::Simulator> module_ = start_module();
};

TEST_F(ExchangeTest, WriteLargerThanOneTransferGoesOutInPieces) {
  const auto device = plug_module();
  ASSERT_EQ(consult(1), answered(1));
  usb_double::TransferFaults faults;
  faults.max_bytes = 512;  // what moves before each transfer's time-out
  usb_double::set_faults(device, faults);
  TAVIK_EXPORT(DesabilitarProtocoloComprimido)();  // keeps the request as large as its text
  const std::string certificate(5000, 'C');
  const std::string answer = TAVIK_EXPORT(ComunicarCertificadoICPBRASIL)(2, kActivationCode, certificate.c_str());
  EXPECT_TRUE(answer.starts_with("000002|05")) << answer;
  const auto writes = transfers_out();
  ASSERT_GE(writes.size(), 11u);
  // The request of the second call: every transfer but the last is cut at
  // 512 bytes, each one asks for the rest, and all run with the check's 100 ms.
  const std::size_t start = 1;  // writes[0] is the first call's request
  std::size_t moved = 0;
  ASSERT_GT(writes[start].requested, 5000u);
  for (std::size_t i = start; i < writes.size(); ++i) {
    EXPECT_EQ(writes[i].timeout_ms, 100u);
    EXPECT_EQ(writes[i].requested, writes[start].requested - moved);
    moved += writes[i].moved;
  }
  EXPECT_EQ(moved, writes[start].requested);
}

TEST_F(ExchangeTest, WriteThatTimesOutFailsTheCall) {
  const auto device = plug_module();
  ASSERT_EQ(consult(1), answered(1));
  usb_double::TransferFaults faults;
  faults.writes_time_out = true;
  usb_double::set_faults(device, faults);
  EXPECT_EQ(consult(2), "timeout");
  const auto writes = transfers_out();
  ASSERT_EQ(writes.size(), 2u);
  EXPECT_EQ(writes.back().status, LIBUSB_ERROR_TIMEOUT);
  EXPECT_EQ(writes.back().moved, 0u);
  // The handle stays: a time-out says nothing about the device being gone.
  usb_double::set_faults(device, {});
  EXPECT_EQ(consult(3), answered(3));
  EXPECT_EQ(count_events("init"), 1u);
}

TEST_F(ExchangeTest, ReadThatTimesOutEndsTheExchange) {
  plug_module();
  simulator::FaultPlan silent;
  silent.fault = simulator::Fault::NeverAnswer;
  silent.count = 1;
  module_->set_fault(silent);
  EXPECT_EQ(consult(1), "timeout");
  // ConsultarSAT waits two seconds for each read of its answer.
  const auto all = usb_double::transfers();
  ASSERT_FALSE(all.empty());
  EXPECT_TRUE(all.back().in);
  EXPECT_EQ(all.back().timeout_ms, 2000u);
  EXPECT_EQ(all.back().status, LIBUSB_ERROR_TIMEOUT);
  EXPECT_EQ(consult(2), answered(2));
}

TEST_F(ExchangeTest, LivenessCheckDrainsPendingInput) {
  auto link = std::make_shared<PendingInputLink>(usb_double::simulator_link(*module_));
  usb_double::plug(usb_double::vorta_mfe(1, 4, link));
  ASSERT_EQ(consult(1), answered(1));
  // A stale answer for the very session of the next call, more than one
  // read long: taken as the answer unless the check discards it first.
  const codec::SatBody stale{codec::SatFunction::ConsultarSAT, codec::Source::Application,
                             {2, {"08000", "stale " + std::string(700, 's'), "", ""}}};
  auto frame = codec::sat::encode_frame(stale, false);
  ASSERT_TRUE(frame);
  link->leave_pending(*frame);
  EXPECT_EQ(consult(2), answered(2));
  EXPECT_EQ(log_.count("[TRACE]", "Connection has no pending data"), 2u);
  EXPECT_EQ(log_.count("Connection is closed"), 0u);
}

TEST_F(ExchangeTest, UnplugAndReplugInContinuousModeRecoversOnTheNextCall) {
  const auto first = plug_module();
  ASSERT_EQ(consult(1), answered(1));
  usb_double::unplug(first);
  // Gone with nothing in its place: the call fails as with no device, and
  // the next one looks again.
  EXPECT_EQ(consult(2), disconnected(2));
  const auto second = plug_module();
  EXPECT_EQ(consult(3), answered(3));
  EXPECT_EQ(consult(4), answered(4));
  EXPECT_EQ(count_events("open " + id(second)), 1u);
  EXPECT_EQ(count_events("close " + id(first)), 1u);
  EXPECT_EQ(log_.count("[TRACE]", "Connection is closed, opening it"), 2u);
  EXPECT_EQ(usb_double::census().handles, 1);
}

TEST_F(ExchangeTest, PerRequestModeEnumeratesForEveryCall) {
  plug_module();
  TAVIK_EXPORT(DesabilitarConexaoContinua)();
  for (int session : {1, 2, 3}) {
    EXPECT_EQ(consult(session), answered(session));
    EXPECT_EQ(usb_double::census().handles, 0) << "closed after call " << session;
    EXPECT_EQ(usb_double::census().contexts, 0) << "ended after call " << session;
  }
  EXPECT_EQ(count_events("init"), 3u);
  EXPECT_EQ(count_events("exit"), 3u);
  EXPECT_EQ(log_.count("[TRACE]", "Dropping USB connection"), 3u);
  EXPECT_EQ(log_.count("[INFO]", "Successfuly openned USB connection (hub: 1, port: 4)"), 3u);
  EXPECT_EQ(log_.count("[INFO]", "Disabling continuous connection"), 1u);
}

}  // namespace
}  // namespace tavik::e2e_usb
