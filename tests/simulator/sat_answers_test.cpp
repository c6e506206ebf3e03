// The device's answer to each SAT function and MFE message.
#include <gtest/gtest.h>

#include "simulator/cfe_document.h"
#include "test_device.h"

namespace tavik::simulator::testing {
namespace {

using codec::SatFunction;

struct AnswerCase {
  const char* name;
  SatFunction function;
  std::vector<std::string> args;
  std::string code;
  std::size_t contents;  // fields after the session number
  std::string message;   // the mensagem field
};

std::string message_of(const codec::SatFields& answer, SatFunction function) {
  const bool cccc = function == SatFunction::EnviarDadosVenda || function == SatFunction::CancelarUltimaVenda ||
                    function == SatFunction::AssociarAssinatura;
  const std::size_t at = cccc && answer.contents.size() > 2 && answer.contents[1].size() == 4 ? 2 : 1;
  return answer.contents.size() > at ? answer.contents[at] : std::string();
}

class ActivatedDevice : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(ActivatedDevice, AnswersWithCodeLayoutAndText) {
  const auto& c = GetParam();
  FiscalModule module(activated_config());
  Caller call(module);
  const auto answer = call(c.function, c.args);
  EXPECT_EQ(answer.num_session, call.last_session());
  ASSERT_FALSE(answer.contents.empty());
  EXPECT_EQ(answer.contents[0], c.code);
  EXPECT_EQ(answer.contents.size(), c.contents);
  EXPECT_EQ(message_of(answer, c.function), c.message);
}

const std::string kCert = "-----BEGIN CERTIFICATE-----\r\nMIIB\r\n-----END CERTIFICATE-----\r\n";
const std::string kDhcp = "<config><tipoInter>ETHE</tipoInter><tipoLan>DHCP</tipoLan></config>";

INSTANTIATE_TEST_SUITE_P(
    EverySatFunction, ActivatedDevice,
    ::testing::Values(
        AnswerCase{"ConsultarSAT", SatFunction::ConsultarSAT, {}, "08000", 4, "SAT em Operação"},
        AnswerCase{"Status", SatFunction::ConsultarStatusOperacional, {kCode}, "10000", 27, "Resposta com sucesso"},
        AnswerCase{"AtivarAgain", SatFunction::AtivarSAT, {"1", kCode, kCnpj, "35"}, "04003", 4, "SAT já ativado"},
        AnswerCase{"Certificado", SatFunction::ComunicarCertificadoICPBRASIL, {kCode, kCert}, "05000", 4,
                   "Certificado transmitido com sucesso"},
        AnswerCase{"Venda", SatFunction::EnviarDadosVenda, {kCode, sale_xml()}, "06000", 11,
                   "Emitido com sucesso + conteúdo notas"},
        AnswerCase{"CancelarSemVenda", SatFunction::CancelarUltimaVenda, {kCode, "CFe1", "<CFeCanc/>"}, "07002", 5,
                   "Cupom inválido"},
        AnswerCase{"TesteFimAFim", SatFunction::TesteFimAFim, {kCode, sale_xml()}, "09000", 8, "Emitido com sucesso"},
        AnswerCase{"NumeroSessaoUnknown", SatFunction::ConsultarNumeroSessao, {kCode, "4"}, "11003", 4,
                   "Sessão não existe"},
        AnswerCase{"UltimaFiscalNone", SatFunction::ConsultarUltimaSessaoFiscal, {kCode}, "19003", 4,
                   "Não existe sessão fiscal"},
        AnswerCase{"Rede", SatFunction::ConfigurarInterfaceDeRede, {kCode, kDhcp}, "12000", 4,
                   "Rede configurada com sucesso"},
        AnswerCase{"RedeBadXml", SatFunction::ConfigurarInterfaceDeRede, {kCode, "<config/>"}, "12002", 4,
                   "Dados fora do padrão a ser informado"},
        AnswerCase{"Associar", SatFunction::AssociarAssinatura,
                   {kCode, std::string(kSoftwareHouse) + kCnpj, signature()}, "13000", 5,
                   "Assinatura do AC registrada"},
        AnswerCase{"AssociarOtherTaxpayer", SatFunction::AssociarAssinatura,
                   {kCode, std::string(kSoftwareHouse) + "99999999000191", signature()}, "13007", 5,
                   "CNPJ do contribuinte difere daquele constante da parametrização de uso"},
        AnswerCase{"Atualizar", SatFunction::AtualizarSoftwareSAT, {kCode}, "14000", 4,
                   "Software atualizado com sucesso"},
        AnswerCase{"Logs", SatFunction::ExtrairLogs, {kCode}, "15000", 5, "Transferência completa"},
        AnswerCase{"Bloquear", SatFunction::BloquearSAT, {kCode}, "16000", 4,
                   "Equipamento SAT bloqueado com sucesso"},
        AnswerCase{"DesbloquearUnblocked", SatFunction::DesbloquearSAT, {kCode}, "17005", 4, "SAT ja desbloqueado"},
        AnswerCase{"Trocar", SatFunction::TrocarCodigoDeAtivacao, {kCode, "1", "novo1234", "novo1234"}, "18000", 4,
                   "Código de ativação alterado com sucesso"},
        AnswerCase{"TrocarMismatch", SatFunction::TrocarCodigoDeAtivacao, {kCode, "1", "novo1234", "outro"},
                   "18099", 4, "Erro desconhecido"},
        AnswerCase{"VendaWrongCode", SatFunction::EnviarDadosVenda, {"errado", sale_xml()}, "06001", 5,
                   "Código de ativação inválido"},
        AnswerCase{"VendaOtherSignAC", SatFunction::EnviarDadosVenda, {kCode, sale_xml("outra")}, "06004", 5,
                   "Vinculação do AC não confere"},
        AnswerCase{"VendaBadXml", SatFunction::EnviarDadosVenda, {kCode, "<nada/>"}, "06010", 5,
                   "Erro de validação do conteúdo"},
        AnswerCase{"VendaTooLarge", SatFunction::EnviarDadosVenda, {kCode, std::string(1500 * 1024 + 1, 'x')},
                   "06005", 5, "Tamanho do CF-e-SAT superior a 1.500KB"},
        AnswerCase{"StatusWrongCode", SatFunction::ConsultarStatusOperacional, {"errado"}, "10001", 4,
                   "Código de ativação inválido"},
        AnswerCase{"LogsWrongCode", SatFunction::ExtrairLogs, {"errado"}, "15001", 4, "Código de ativação inválido"}),
    [](const auto& info) { return std::string(info.param.name); });

class NewDevice : public ::testing::TestWithParam<AnswerCase> {};

TEST_P(NewDevice, AnswersBeforeActivation) {
  const auto& c = GetParam();
  DeviceConfig config;
  config.random_seed = 3;
  FiscalModule module(config);
  Caller call(module);
  const auto answer = call(c.function, c.args);
  ASSERT_FALSE(answer.contents.empty());
  EXPECT_EQ(answer.contents[0], c.code);
  EXPECT_EQ(answer.contents.size(), c.contents);
  EXPECT_EQ(message_of(answer, c.function), c.message);
}

INSTANTIATE_TEST_SUITE_P(
    NotActivated, NewDevice,
    ::testing::Values(
        AnswerCase{"Ativar", SatFunction::AtivarSAT, {"1", kCode, kCnpj, "35"}, "04000", 5, "Ativado corretamente"},
        AnswerCase{"AtivarBadCnpj", SatFunction::AtivarSAT, {"1", kCode, "123", "35"}, "04002", 4,
                   "SEFAZ não reconhece este SAT (CNPJ inválido)"},
        AnswerCase{"Venda", SatFunction::EnviarDadosVenda, {kCode, sale_xml()}, "06002", 5, "SAT ainda não ativado"},
        AnswerCase{"Teste", SatFunction::TesteFimAFim, {kCode, sale_xml()}, "09002", 4, "SAT ainda não ativado"},
        AnswerCase{"NumeroSessao", SatFunction::ConsultarNumeroSessao, {kCode, "1"}, "11002", 4,
                   "SAT ainda não ativado"},
        AnswerCase{"UltimaFiscal", SatFunction::ConsultarUltimaSessaoFiscal, {kCode}, "19002", 4,
                   "SAT ainda não ativado"},
        AnswerCase{"RedeFactoryCode", SatFunction::ConfigurarInterfaceDeRede, {"00000000", kDhcp}, "12000", 4,
                   "Rede configurada com sucesso"},
        AnswerCase{"ConsultarSAT", SatFunction::ConsultarSAT, {}, "08000", 4, "SAT em Operação"},
        AnswerCase{"Bloquear", SatFunction::BloquearSAT, {kCode}, "16001", 4, "Código de ativação inválido"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SaleAnswer, CarriesAValidKeyTotalConsumerAndSignedDocument) {
  FiscalModule module(activated_config());
  Caller call(module);
  const auto answer = call(SatFunction::EnviarDadosVenda, {kCode, sale_xml()});
  ASSERT_EQ(answer.contents.size(), 11u);
  EXPECT_EQ(answer.contents[1], "0000");
  EXPECT_EQ(answer.contents[6], "20240305143015");
  const std::string& key = answer.contents[7];
  ASSERT_EQ(key.size(), 47u);
  EXPECT_TRUE(key.starts_with("CFe352403" + std::string(kCnpj) + "59900000123000001"));
  EXPECT_EQ(key.back(), access_key_check_digit(std::string_view(key).substr(3, 43)));
  EXPECT_EQ(answer.contents[8], "3.00");
  EXPECT_EQ(answer.contents[9], "12345678909");
  EXPECT_EQ(answer.contents[10].size(), 344u);
  const std::string document = base64_decode(answer.contents[5]);
  EXPECT_NE(document.find("Id=\"" + key + "\""), std::string::npos);
  EXPECT_NE(document.find("<nCFe>000001</nCFe>"), std::string::npos);
  EXPECT_NE(document.find("<assinaturaQRCODE>" + answer.contents[10] + "</assinaturaQRCODE>"), std::string::npos);
  EXPECT_NE(document.find("<vCFe>3.00</vCFe>"), std::string::npos);
  EXPECT_NE(document.find("Caf\xC3\xA9"), std::string::npos);
}

TEST(AccessKey, CheckDigitFollowsModulo11) {
  // Weights 2..9 from the right; remainders giving 10 or 11 become 0.
  EXPECT_EQ(access_key_check_digit(std::string(43, '0')), '0');
  EXPECT_EQ(access_key_check_digit(std::string(42, '0') + "1"), '9');   // 11 - 2 = 9
  EXPECT_EQ(access_key_check_digit(std::string(42, '0') + "5"), '1');   // 11 - 10 = 1
  EXPECT_EQ(access_key_check_digit(std::string(41, '0') + "10"), '8');  // 3 -> 8
}

struct MfeCase {
  const char* name;
  codec::MfeMessageType code;
  std::optional<std::int32_t> session;
  std::optional<std::int32_t> answer_session;
  std::string first;
  std::size_t contents;
};

class MfeMessages : public ::testing::TestWithParam<MfeCase> {};

TEST_P(MfeMessages, Answer) {
  const auto& c = GetParam();
  auto config = activated_config();
  config.heartbeat_interval_seconds = 45;
  FiscalModule module(config);
  const auto answer = module.answer(codec::MfeBody{c.code, codec::Source::Lib, {c.session, {"a", "b", "c"}}});
  EXPECT_EQ(answer.num_session, c.answer_session);
  ASSERT_FALSE(answer.contents.empty());
  EXPECT_EQ(answer.contents[0], c.first);
  EXPECT_EQ(answer.contents.size(), c.contents);
}

using codec::MfeMessageType;
INSTANTIATE_TEST_SUITE_P(
    EveryMessage, MfeMessages,
    ::testing::Values(MfeCase{"HeartBeat", MfeMessageType::HeartBeatPDV, std::nullopt, 0, "45", 1},
                      MfeCase{"Status", MfeMessageType::ConsultarStatusOperacionalMFE, 123, 123, "10000", 27},
                      MfeCase{"StatusWithoutSession", MfeMessageType::ConsultarStatusOperacionalMFE, std::nullopt,
                              std::nullopt, "10000", 27},
                      MfeCase{"Rede", MfeMessageType::ConfigurarInterfaceDeRedeMFE, 7, 7, "12000", 4},
                      MfeCase{"Producao", MfeMessageType::InformarProducaoMFE, 8, 8, "20000", 4},
                      MfeCase{"Unknown", MfeMessageType::EnviarStatusAC, 9, 9, "99999", 2}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(MfeMessages, ProductionTextIsUtf8) {
  FiscalModule module(activated_config());
  const auto answer = module.answer(codec::MfeBody{MfeMessageType::InformarProducaoMFE, codec::Source::Lib, {1, {}}});
  EXPECT_EQ(answer.contents[1], "Produção informada com sucesso");
}

}  // namespace
}  // namespace tavik::simulator::testing
