// The USB transport under the connection manager, with the device answering
// from the simulator's engine: whole SAT exchanges, per-request reopening,
// and how an unplugged or stalled device is seen.
#include "dllsat/send_sat_command.h"
#include "kovo_base/connection/openers.h"
#include "usb_double/simulator_link.h"
#include "usb_fixture.h"

namespace tavik::testing {
namespace {

using codec::SatFunction;
using kovo_base::ConnectionError;

class UsbConnectionTest : public UsbTest {
 protected:
  usb_double::DeviceId plug_module(std::uint8_t bus = 1, std::uint8_t port = 4) {
    return usb_double::plug(usb_double::vorta_mfe(bus, port, usb_double::simulator_link(*module_)));
  }
  static kovo_base::Result<std::string> consult(std::int32_t session) {
    return dllsat::send_sat_command(session, SatFunction::ConsultarSAT, {});
  }

  static simulator::DeviceConfig activated() {
    simulator::DeviceConfig config;
    config.activation_code = "12345678";
    return config;
  }

  std::unique_ptr<simulator::Simulator> module_ = usb_double::start_usb_module(activated());
};

TEST_F(UsbConnectionTest, SatExchangeThroughTheDeviceEngine) {
  plug_module();
  auto text = consult(4321);
  ASSERT_TRUE(text) << text.error().debug();
  EXPECT_EQ(*text, "004321|08000|SAT em Operação||");
  auto status = dllsat::send_sat_command(4322, SatFunction::ConsultarStatusOperacional, {"12345678"});
  ASSERT_TRUE(status) << status.error().debug();
  EXPECT_TRUE(status->starts_with("004322|10000|Resposta com sucesso")) << *status;
  // Continuous mode: one enumeration for both calls.
  EXPECT_EQ(count_events("init"), 1u);
}

TEST_F(UsbConnectionTest, PendingInputIsDrainedByTheCheck) {
  simulator::FaultPlan plan;
  plan.fault = simulator::Fault::DataBeforeRequest;
  module_->set_fault(plan);
  plug_module();
  auto text = consult(77);
  ASSERT_TRUE(text) << text.error().debug();
  EXPECT_EQ(*text, "000077|08000|SAT em Operação||");
}

TEST_F(UsbConnectionTest, PerRequestModeEnumeratesForEveryCall) {
  kovo_base::connection::disable_continuous_connection();
  plug_module();
  for (int session : {1, 2, 3}) {
    auto text = consult(session);
    ASSERT_TRUE(text) << text.error().debug();
  }
  EXPECT_EQ(count_events("init"), 3u);
  EXPECT_EQ(count_events("exit"), 3u);
  EXPECT_EQ(log_.count("[TRACE]", "Dropping USB connection"), 3u);
  EXPECT_EQ(log_.count("[INFO]", "Successfuly openned USB connection (hub: 1, port: 4)"), 3u);
  EXPECT_EQ(usb_double::census().handles, 0);
}

TEST_F(UsbConnectionTest, UnpluggedDeviceIsReopenedOnTheNextCall) {
  const auto first = plug_module();
  ASSERT_TRUE(consult(10));
  usb_double::unplug(first);
  const auto second = plug_module();

  auto text = consult(11);
  ASSERT_TRUE(text) << text.error().debug();
  EXPECT_EQ(*text, "000011|08000|SAT em Operação||");
  EXPECT_EQ(log_.count("[TRACE]", "Connection is closed, opening it"), 1u);
  EXPECT_EQ(count_events("open " + std::to_string(second)), 1u);
  EXPECT_EQ(count_events("close " + std::to_string(first)), 1u);
}

TEST_F(UsbConnectionTest, UnpluggedDeviceWithoutReplacementGivesDeviceNotFound) {
  const auto only = plug_module();
  ASSERT_TRUE(consult(20));
  usb_double::unplug(only);
  for (int session : {21, 22}) {
    auto text = consult(session);
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error().kind(), ConnectionError::Kind::DeviceNotFound);
  }
  // The replugged module is found by the next call.
  plug_module();
  EXPECT_TRUE(consult(23));
}

TEST_F(UsbConnectionTest, StalledEndpointKeepsTheConnectionAndFailsTheExchange) {
  const auto id = plug_module();
  ASSERT_TRUE(consult(30));
  usb_double::TransferFaults stalled;
  stalled.error = LIBUSB_ERROR_PIPE;
  usb_double::set_faults(id, stalled);
  for (int session : {31, 32}) {
    auto text = consult(session);
    ASSERT_FALSE(text);
    EXPECT_EQ(text.error().kind(), ConnectionError::Kind::Io);
    EXPECT_EQ(text.error().display(), "Pipe error");
  }
  EXPECT_EQ(log_.count("[TRACE]", "Connection has no pending data"), 3u);
  EXPECT_EQ(log_.count("Connection is closed"), 0u);
  EXPECT_EQ(count_events("init"), 1u);
}

TEST_F(UsbConnectionTest, RegisteringAModelDropsTheConnection) {
  const auto id = plug_module();
  ASSERT_TRUE(consult(40));
  EXPECT_EQ(usb_double::census().handles, 1);
  kovo_base::usb::register_usb_model(kovo_base::DeviceModel::Ombrix);
  EXPECT_EQ(usb_double::census().handles, 0);
  EXPECT_EQ(count_events("close " + std::to_string(id)), 1u);
  // The opener stays installed: the next call opens again.
  EXPECT_TRUE(consult(41));
}

}  // namespace
}  // namespace tavik::testing
