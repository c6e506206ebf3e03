// How the simulated device's state moves from call to call.
#include <gtest/gtest.h>

#include "test_device.h"

namespace tavik::simulator::testing {
namespace {

using codec::SatFunction;

std::string code_of(const codec::SatFields& answer) { return answer.contents.empty() ? "" : answer.contents[0]; }

class DeviceState : public ::testing::Test {
 protected:
  FixedClock clock;
  FiscalModule module{activated_config(clock)};
  Caller call{module};

  std::string status_field(std::size_t number) {  // numbered as in the status table (1 = session)
    return call(SatFunction::ConsultarStatusOperacional, {kCode}).contents.at(number - 2);
  }
};

TEST_F(DeviceState, BlockRefusesSalesUntilUnblocked) {
  EXPECT_EQ(code_of(call(SatFunction::BloquearSAT, {kCode})), "16000");
  EXPECT_EQ(status_field(28), "2");
  EXPECT_EQ(code_of(call(SatFunction::EnviarDadosVenda, {kCode, sale_xml()})), "06006");
  EXPECT_EQ(code_of(call(SatFunction::BloquearSAT, {kCode})), "16002");
  EXPECT_EQ(code_of(call(SatFunction::DesbloquearSAT, {kCode})), "17000");
  EXPECT_EQ(status_field(28), "0");
  EXPECT_EQ(code_of(call(SatFunction::EnviarDadosVenda, {kCode, sale_xml()})), "06000");
}

TEST_F(DeviceState, BlockStatesSetBySefazOrTheDeviceMapToTheirRefusals) {
  struct Case {
    BlockState state;
    std::string sale, cancel, unblock;
  };
  for (const auto& c : {Case{BlockState::BySefaz, "06007", "07004", "17003"},
                        Case{BlockState::Autonomous, "06008", "07005", "17006"},
                        Case{BlockState::ForDeactivation, "06007", "07004", "17007"}}) {
    module.set_block_state(c.state);
    EXPECT_EQ(code_of(call(SatFunction::EnviarDadosVenda, {kCode, sale_xml()})), c.sale);
    EXPECT_EQ(code_of(call(SatFunction::CancelarUltimaVenda, {kCode, "CFe1", ""})), c.cancel);
    EXPECT_EQ(code_of(call(SatFunction::DesbloquearSAT, {kCode})), c.unblock);
  }
}

TEST_F(DeviceState, ChangedActivationCodeReplacesTheOldOne) {
  EXPECT_EQ(code_of(call(SatFunction::TrocarCodigoDeAtivacao, {kCode, "1", "novo-codigo", "novo-codigo"})), "18000");
  EXPECT_EQ(code_of(call(SatFunction::ConsultarStatusOperacional, {kCode})), "10001");
  EXPECT_EQ(code_of(call(SatFunction::ConsultarStatusOperacional, {"novo-codigo"})), "10000");
  // The emergency code replaces a forgotten one.
  EXPECT_EQ(code_of(call(SatFunction::TrocarCodigoDeAtivacao, {"palpite", "2", "x1", "x1"})), "18002");
  EXPECT_EQ(code_of(call(SatFunction::TrocarCodigoDeAtivacao, {"87654321", "2", "x1", "x1"})), "18000");
  EXPECT_EQ(code_of(call(SatFunction::ConsultarStatusOperacional, {"x1"})), "10000");
}

TEST_F(DeviceState, SaleThenCancelTakesTheNextNumberAndOnlyOnce) {
  const auto sale = call(SatFunction::EnviarDadosVenda, {kCode, sale_xml()});
  ASSERT_EQ(code_of(sale), "06000");
  const std::string sale_key = sale.contents[7];
  EXPECT_EQ(code_of(call(SatFunction::CancelarUltimaVenda, {kCode, "CFe" + std::string(44, '1'),
                                                            cancellation_xml(sale_key)})),
            "07002");
  EXPECT_EQ(code_of(call(SatFunction::CancelarUltimaVenda, {kCode, sale_key, "<CFeCanc/>"})), "07007");

  const auto cancel = call(SatFunction::CancelarUltimaVenda, {kCode, sale_key, cancellation_xml(sale_key)});
  ASSERT_EQ(cancel.contents.size(), 11u);
  EXPECT_EQ(cancel.contents[0], "07000");
  EXPECT_EQ(cancel.contents[1], "0000");
  EXPECT_EQ(cancel.contents[2], "Cupom cancelado com sucesso + conteudo CF-e-SAT cancelado");
  const std::string cancel_key = cancel.contents[7];
  EXPECT_NE(cancel_key, sale_key);
  EXPECT_EQ(cancel_key.substr(3 + 31, 6), "000002");  // nCFe within the key
  EXPECT_EQ(cancel.contents[8], "3.00");
  EXPECT_EQ(cancel.contents[9], "12345678909");
  const std::string document = base64_decode(cancel.contents[5]);
  EXPECT_NE(document.find("chCanc=\"" + sale_key + "\""), std::string::npos);

  EXPECT_EQ(code_of(call(SatFunction::CancelarUltimaVenda, {kCode, sale_key, cancellation_xml(sale_key)})), "07002");
  EXPECT_EQ(status_field(21), cancel_key.substr(3));
  const auto last_fiscal = call(SatFunction::ConsultarUltimaSessaoFiscal, {kCode});
  EXPECT_EQ(last_fiscal.num_session, cancel.num_session);
  EXPECT_EQ(last_fiscal.contents, cancel.contents);
}

TEST_F(DeviceState, EndToEndTestTakesNoNumberFromTheSequence) {
  const auto test = call(SatFunction::TesteFimAFim, {kCode, sale_xml()});
  EXPECT_EQ(test.contents.at(6), "000000");
  EXPECT_EQ(test.contents.at(7).substr(3 + 31, 6), "000000");
  EXPECT_EQ(code_of(call(SatFunction::ConsultarUltimaSessaoFiscal, {kCode})), "19003");
  const auto sale = call(SatFunction::EnviarDadosVenda, {kCode, sale_xml()});
  EXPECT_EQ(sale.contents.at(7).substr(3 + 31, 6), "000001");
}

TEST_F(DeviceState, ReusedSessionNumberIsRefusedWithItsOwnNumber) {
  call.at(500, SatFunction::ConsultarSAT);
  const auto refused = call.at(500, SatFunction::EnviarDadosVenda, {kCode, sale_xml()});
  EXPECT_EQ(refused.num_session, 500);
  EXPECT_EQ(refused.contents, (std::vector<std::string>{"06097", "9999", "Número de sessão inválido", "", ""}));
  EXPECT_EQ(code_of(call.at(500, SatFunction::ConsultarSAT)), "08097");
}

TEST_F(DeviceState, SessionNumbersAreReusableAfterAHundredOthers) {
  call.at(500, SatFunction::ConsultarSAT);
  for (int i = 0; i < 100; ++i) call(SatFunction::ConsultarSAT);
  EXPECT_EQ(code_of(call.at(500, SatFunction::ConsultarSAT)), "08000");
}

TEST_F(DeviceState, NumeroSessaoReturnsThePreviousAnswerUnderItsNumber) {
  const auto sale = call.at(123004, SatFunction::EnviarDadosVenda, {kCode, sale_xml()});
  const auto found = call.at(123005, SatFunction::ConsultarNumeroSessao, {kCode, "123004"});
  EXPECT_EQ(found.num_session, 123004);
  EXPECT_EQ(found.contents, sale.contents);
  // The previous session was itself a query, and older ones are out of reach.
  EXPECT_EQ(code_of(call.at(123006, SatFunction::ConsultarNumeroSessao, {kCode, "123005"})), "11003");
  EXPECT_EQ(code_of(call.at(123007, SatFunction::ConsultarNumeroSessao, {kCode, "123004"})), "11003");
}

TEST(DeviceSessions, DeeperSessionStoreReachesOlderSessions) {
  auto config = activated_config();
  config.session_depth = 5;
  FiscalModule module(config);
  Caller call(module);
  const auto status = call.at(42, SatFunction::ConsultarSAT);
  call(SatFunction::ConsultarSAT);
  call(SatFunction::ConsultarSAT);
  const auto found = call(SatFunction::ConsultarNumeroSessao, {kCode, "42"});
  EXPECT_EQ(found.num_session, 42);
  EXPECT_EQ(found.contents, status.contents);
}

TEST(DeviceActivation, IcpBrasilActivationCompletesWithTheCertificate) {
  DeviceConfig config;
  config.random_seed = 1;
  FiscalModule module(config);
  Caller call(module);
  const auto csr = call(SatFunction::AtivarSAT, {"2", kCode, kCnpj, "35"});
  ASSERT_EQ(csr.contents.size(), 5u);
  EXPECT_EQ(csr.contents[0], "04006");
  EXPECT_TRUE(base64_decode(csr.contents[4]).starts_with("-----BEGIN CERTIFICATE REQUEST-----"));
  EXPECT_EQ(code_of(call(SatFunction::EnviarDadosVenda, {kCode, sale_xml()})), "06002");
  EXPECT_EQ(code_of(call(SatFunction::ComunicarCertificadoICPBRASIL, {kCode, "sem certificado"})), "05003");
  EXPECT_EQ(code_of(call(SatFunction::ComunicarCertificadoICPBRASIL,
                         {kCode, "-----BEGIN CERTIFICATE-----\nMIIB\n-----END CERTIFICATE-----\n"})),
            "05000");
  EXPECT_TRUE(module.snapshot().activated);
  // Sales now need the AC signature.
  EXPECT_EQ(code_of(call(SatFunction::EnviarDadosVenda, {kCode, sale_xml()})), "06003");
  EXPECT_EQ(code_of(call(SatFunction::AssociarAssinatura, {kCode, std::string(kSoftwareHouse) + kCnpj, signature()})),
            "13000");
  EXPECT_EQ(code_of(call(SatFunction::EnviarDadosVenda, {kCode, sale_xml()})), "06000");
}

TEST(DeviceActivation, WrongCodesBlockTheDeviceWhenConfigured) {
  auto config = activated_config();
  config.block_after_wrong_codes = 3;
  FiscalModule module(config);
  Caller call(module);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(code_of(call(SatFunction::BloquearSAT, {"errado"})), "16001");
  EXPECT_EQ(code_of(call(SatFunction::EnviarDadosVenda, {kCode, sale_xml()})), "06009");
  EXPECT_EQ(code_of(call(SatFunction::CancelarUltimaVenda, {kCode, "CFe1", ""})), "07006");
}

TEST(DeviceBusy, OtherCallsGetBusyWhileALongCommandRuns) {
  FixedClock clock;
  auto config = activated_config(clock);
  config.long_command_duration = std::chrono::milliseconds(60000);
  FiscalModule module(config);
  const auto update =
      module.answer({SatFunction::AtualizarSoftwareSAT, codec::Source::Lib, {1, {kCode}}});
  EXPECT_EQ(update.takes, std::chrono::milliseconds(60000));
  EXPECT_EQ(module.answer({SatFunction::ConsultarSAT, codec::Source::Lib, {2, {}}}).fields.contents[0], "08098");
  EXPECT_EQ(module.answer({SatFunction::ConfigurarInterfaceDeRede, codec::Source::Lib, {3, {kCode, ""}}})
                .fields.contents[1],
            "SAT em processamento. Tente novamente");
  *clock.at += std::chrono::minutes(2);
  EXPECT_EQ(module.answer({SatFunction::ConsultarSAT, codec::Source::Lib, {4, {}}}).fields.contents[0], "08000");
}

TEST(DeviceNetwork, FixedAddressesShowPaddedInTheStatus) {
  FiscalModule module(activated_config());
  Caller call(module);
  const auto answer = call(SatFunction::ConfigurarInterfaceDeRede,
                           {kCode, "<config><tipoInter>ETHE</tipoInter><tipoLan>IPFIX</tipoLan><lanIP>192.168.1.20"
                                   "</lanIP><lanMask>255.255.255.0</lanMask><lanGW>192.168.1.1</lanGW></config>"});
  ASSERT_EQ(code_of(answer), "12000");
  const auto status = call(SatFunction::ConsultarStatusOperacional, {kCode}).contents;
  EXPECT_EQ(status.at(5), "IPFIX");
  EXPECT_EQ(status.at(6), "192.168.001.020");
  EXPECT_EQ(status.at(8), "255.255.255.000");
  EXPECT_EQ(status.at(9), "192.168.001.001");
  EXPECT_EQ(code_of(call(SatFunction::ConfigurarInterfaceDeRede,
                         {kCode, "<config><tipoInter>ETHE</tipoInter><tipoLan>IPFIX</tipoLan><lanIP>300.1.1.1"
                                 "</lanIP><lanMask>255.0.0.0</lanMask><lanGW>1.1.1.1</lanGW></config>"})),
            "12002");
}

TEST(DeviceFailures, FiveFieldFormDropsCccc) {
  auto config = activated_config();
  config.drop_cccc_on_failure = true;
  FiscalModule module(config);
  Caller call(module);
  EXPECT_EQ(call(SatFunction::EnviarDadosVenda, {"errado", sale_xml()}).contents,
            (std::vector<std::string>{"06001", "Código de ativação inválido", "", ""}));
}

}  // namespace
}  // namespace tavik::simulator::testing
