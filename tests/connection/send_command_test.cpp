// SAT and MFE calls end to end through the process-wide connection.
#include <gtest/gtest.h>

#include "dllsat/send_sat_command.h"
#include "dllsat/utils.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection/modes.h"
#include "kovo_base/connection/openers.h"
#include "log_capture.h"
#include "mfe/messages.h"
#include "scripted_device.h"

namespace tavik::testing {
namespace {

using codec::MfeMessageType;
using codec::SatFunction;
using kovo_base::ConnectionError;
using kovo_base::connection::HandleKind;

class SendCommandTest : public ::testing::Test {
 protected:
  void SetUp() override {
    kovo_base::connection::enable_continuous_connection();
    kovo_base::connection::drop_connection();
  }
  void TearDown() override {
    kovo_base::connection::drop_connection();
    kovo_base::connection::set_opener(HandleKind::Usb, {});
  }

  // Plugs in a module that answers every request with these steps.
  ScriptedDevice& plug(std::vector<ReadStep> steps) {
    device_ = std::make_unique<ScriptedDevice>([steps](const codec::Bytes&) { return steps; });
    kovo_base::connection::set_opener(HandleKind::Usb, [this] { return device_->open_usb(); });
    return *device_;
  }

  std::unique_ptr<ScriptedDevice> device_;
  LogCapture log_;
};

TEST_F(SendCommandTest, SatAnswerIsRenderedAnew) {
  auto& device = plug({raw_sat_frame("4321|a||b")});
  auto text = dllsat::send_sat_command(4321, SatFunction::ConsultarSAT, {});
  ASSERT_TRUE(text) << text.error().debug();
  EXPECT_EQ(*text, "004321|a||b");
  EXPECT_EQ(decode_sat(device.requests().at(0)),
            (codec::SatBody{SatFunction::ConsultarSAT, codec::Source::Lib, {4321, {}}}));
  EXPECT_EQ(log_.count("[DEBUG]", "mfe::messages", "Sending: Body {", "ConsultarSAT", "4321"), 1u);
  EXPECT_EQ(log_.count("[DEBUG]", "mfe::messages", "ConsultarSAT received: 004321|a||b"), 1u);
}

TEST_F(SendCommandTest, ArgumentsGoOutInOrder) {
  auto& device = plug({raw_sat_frame("000077|04000|Ativado corretamente|||csr", "AtivarSAT")});
  auto text = dllsat::send_sat_command(77, SatFunction::AtivarSAT, {"1", "code", "12345678000199", "35"});
  ASSERT_TRUE(text) << text.error().debug();
  EXPECT_EQ(*text, "000077|04000|Ativado corretamente|||csr");
  EXPECT_EQ(decode_sat(device.requests().at(0)).fields.contents,
            (std::vector<std::string>{"1", "code", "12345678000199", "35"}));
}

TEST_F(SendCommandTest, NoDeviceGivesDeviceNotFound) {
  auto text = dllsat::send_sat_command(4321, SatFunction::ConsultarSAT, {});
  ASSERT_FALSE(text);
  EXPECT_EQ(text.error().kind(), ConnectionError::Kind::DeviceNotFound);
  EXPECT_EQ(log_.count("[ERROR]", "Failed to open port: DeviceNotFound (DeviceNotFound)"), 1u);
  EXPECT_EQ(dllsat::error_result_text(text.error(), 4321), "004321|9999|SAT Desconectado");
}

TEST_F(SendCommandTest, FailedExchangesAreLoggedAndPassedOn) {
  struct Case {
    const char* name;
    std::vector<ReadStep> steps;
    ConnectionError::Kind kind;
    const char* logged;
  };
  const Case cases[] = {
      {"not a frame", {codec::Bytes{'h', 'e', 'l', 'l', 'o'}}, ConnectionError::Kind::Protocol,
       "Failed to send ConsultarSAT: Protocol (Protocol)"},
      {"silent device", {}, ConnectionError::Kind::Io, "Failed to send ConsultarSAT: Operation timed out"},
  };
  for (const auto& c : cases) {
    kovo_base::connection::drop_connection();
    plug(c.steps);
    auto text = dllsat::send_sat_command(4321, SatFunction::ConsultarSAT, {});
    ASSERT_FALSE(text) << c.name;
    EXPECT_EQ(text.error().kind(), c.kind) << c.name;
    EXPECT_EQ(log_.count("[ERROR]", c.logged), 1u) << c.name << "\n" << log_.text();
    EXPECT_EQ(dllsat::error_result_text(text.error(), 4321), "timeout") << c.name;
  }
}

TEST_F(SendCommandTest, MfeAnswersAreRenderedAnew) {
  struct Case {
    std::optional<std::int32_t> session;
    const char* text;
  };
  for (const Case& c : {Case{123, "000123|a|b"}, Case{std::nullopt, "a|b"}}) {
    kovo_base::connection::drop_connection();
    auto& device = plug({mfe_frame(999, {"stale"}), mfe_frame(c.session, {"a", "b"})});
    auto text = mfe::send_mfe_command(123, MfeMessageType::ConsultarStatusOperacionalMFE, {"x"});
    ASSERT_TRUE(text) << text.error().debug();
    EXPECT_EQ(*text, c.text);
    EXPECT_EQ(decode_mfe(device.requests().at(0)),
              (codec::MfeBody{MfeMessageType::ConsultarStatusOperacionalMFE, codec::Source::Lib, {123, {"x"}}}));
  }
  EXPECT_EQ(log_.count("[DEBUG]", "Sending MFE msg: ", "Some(123)"), 2u);
  EXPECT_EQ(log_.count("[DEBUG]", "ConsultarStatusOperacionalMFE received: a|b"), 1u);
}

TEST_F(SendCommandTest, MfeMessageWithoutSessionTakesAnyAnswer) {
  plug({mfe_frame(5, {"60"}, MfeMessageType::HeartBeatPDV)});
  auto answer = mfe::send_mfe_message(std::nullopt, MfeMessageType::HeartBeatPDV, {"NA", "NA", "0"});
  ASSERT_TRUE(answer) << answer.error().debug();
  EXPECT_EQ(answer->fields.contents, std::vector<std::string>{"60"});
  EXPECT_EQ(log_.count("Sending MFE msg: ", "None"), 1u);
}

TEST_F(SendCommandTest, MfeFailuresNameTheKind) {
  auto answer = mfe::send_mfe_command(5, MfeMessageType::InformarProducaoMFE, {"a", "b", "c"});
  ASSERT_FALSE(answer);
  EXPECT_EQ(log_.count("[ERROR]", "Failed to open port: DeviceNotFound (DeviceNotFound)"), 1u);
  plug({});
  answer = mfe::send_mfe_command(5, MfeMessageType::InformarProducaoMFE, {"a", "b", "c"});
  ASSERT_FALSE(answer);
  EXPECT_EQ(log_.count("[ERROR]", "Failed to send InformarProducaoMFE: "), 1u);
}

TEST_F(SendCommandTest, ReleaseLine) {
  dllsat::release_line();
  EXPECT_EQ(log_.count("[DEBUG]", "dllsat", "Releasing library resources."), 1u);
}

}  // namespace
}  // namespace tavik::testing
