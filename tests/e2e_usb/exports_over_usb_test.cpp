// Every SAT export and the three MFE sends, through the shared library's C
// interface, over bulk transfers into a simulated module: one stateful
// session from activation to the change of the activation code.
#include <functional>
#include <sstream>
#include <vector>

#include "e2e_usb/e2e_usb_fixture.h"
#include "simulator/test_device.h"

namespace tavik::e2e_usb {
namespace {

using simulator::testing::cancellation_xml;
using simulator::testing::sale_xml;
using simulator::testing::signature;

std::vector<std::string> fields_of(const std::string& answer) {
  std::vector<std::string> fields;
  std::stringstream in(answer);
  for (std::string field; std::getline(in, field, '|');) fields.push_back(field);
  return fields;
}

// The first fields of an answer, joined again: enough to tell which function
// answered, with which outcome, for which session.
std::string head_of(const std::string& answer, std::size_t count) {
  const auto fields = fields_of(answer);
  std::string head;
  for (std::size_t i = 0; i < count && i < fields.size(); ++i) head += (i == 0 ? "" : "|") + fields[i];
  return head;
}

class ExportsOverUsbTest : public UsbLibraryTest {};

TEST_F(ExportsOverUsbTest, EverySatAndMfeSendReachesTheModule) {
  auto module = start_module(/*activated=*/false);
  const auto device = usb_double::plug(usb_double::vorta_mfe(1, 4, usb_double::simulator_link(*module)));
  const char* code = kActivationCode;
  const std::string cnpjs = std::string(simulator::testing::kSoftwareHouse) + simulator::testing::kCnpj;
  std::string sale_key;  // from the sale's answer, for the cancellation

  struct Step {
    const char* name;
    std::function<std::string()> call;
    std::string expected_head;  // session, code and message
  };
  const std::vector<Step> steps = {
      {"AtivarSAT", [&] { return std::string(TAVIK_EXPORT(AtivarSAT)(101, 1, code, simulator::testing::kCnpj, 35)); },
       "000101|04000|Ativado corretamente"},
      // Not a certificate issued for the module's request: refused by the module.
      {"ComunicarCertificadoICPBRASIL",
       [&] { return std::string(TAVIK_EXPORT(ComunicarCertificadoICPBRASIL)(102, code, "certificado")); },
       "000102|05003|Certificado inválido"},
      {"AssociarAssinatura",
       [&] { return std::string(TAVIK_EXPORT(AssociarAssinatura)(103, code, cnpjs.c_str(), signature().c_str())); },
       "000103|13000|0000|Assinatura do AC registrada"},
      {"EnviarDadosVenda",
       [&] {
         std::string answer = TAVIK_EXPORT(EnviarDadosVenda)(104, code, sale_xml().c_str());
         const auto fields = fields_of(answer);
         if (fields.size() > 8) sale_key = fields[8];
         return answer;
       },
       "000104|06000|0000|Emitido com sucesso + conteúdo notas"},
      // The stored answer of the last fiscal session keeps the sale's number.
      {"ConsultarUltimaSessaoFiscal", [&] { return std::string(TAVIK_EXPORT(ConsultarUltimaSessaoFiscal)(105, code)); },
       "000104|06000|0000|Emitido com sucesso + conteúdo notas"},
      {"CancelarUltimaVenda",
       [&] {
         return std::string(TAVIK_EXPORT(CancelarUltimaVenda)(106, code, sale_key.c_str(),
                                                              cancellation_xml(sale_key).c_str()));
       },
       "000106|07000|0000|Cupom cancelado com sucesso + conteudo CF-e-SAT cancelado"},
      {"TesteFimAFim", [&] { return std::string(TAVIK_EXPORT(TesteFimAFim)(107, code, sale_xml().c_str())); },
       "000107|09000|Emitido com sucesso"},
      {"ConsultarStatusOperacional",
       [&] { return std::string(TAVIK_EXPORT(ConsultarStatusOperacional)(108, code)); },
       "000108|10000|Resposta com sucesso"},
      {"ConfigurarInterfaceDeRede",
       [&] {
         return std::string(TAVIK_EXPORT(ConfigurarInterfaceDeRede)(
             109, code, "<config><tipoInter>ETHE</tipoInter><tipoLan>DHCP</tipoLan></config>"));
       },
       "000109|12000|Rede configurada com sucesso"},
      {"ExtrairLogs", [&] { return std::string(TAVIK_EXPORT(ExtrairLogs)(110, code)); },
       "000110|15000|Transferência completa"},
      {"AtualizarSoftwareSAT", [&] { return std::string(TAVIK_EXPORT(AtualizarSoftwareSAT)(111, code)); },
       "000111|14000|Software atualizado com sucesso"},
      {"BloquearSAT", [&] { return std::string(TAVIK_EXPORT(BloquearSAT)(112, code)); },
       "000112|16000|Equipamento SAT bloqueado com sucesso"},
      {"DesbloquearSAT", [&] { return std::string(TAVIK_EXPORT(DesbloquearSAT)(113, code)); },
       "000113|17000|Equipamento SAT desbloqueado com sucesso"},
      {"ConsultarSAT", [&] { return std::string(TAVIK_EXPORT(ConsultarSAT)(114)); }, "000114|08000|SAT em Operação"},
      // The answer that session 114 produced, under its own number.
      {"ConsultarNumeroSessao", [&] { return std::string(TAVIK_EXPORT(ConsultarNumeroSessao)(115, code, 114)); },
       "000114|08000|SAT em Operação"},
      {"TrocarCodigoDeAtivacao",
       [&] { return std::string(TAVIK_EXPORT(TrocarCodigoDeAtivacao)(116, code, 1, "11223344", "11223344")); },
       "000116|18000|Código de ativação alterado com sucesso"},
      {"ConsultarStatusOperacionalMFE",
       [&] { return std::string(TAVIK_EXPORT(ConsultarStatusOperacionalMFE)(117, "11223344")); },
       "000117|10000|Resposta com sucesso"},
      {"ConfigurarInterfaceDeRedeMFE",
       [&] { return std::string(TAVIK_EXPORT(ConfigurarInterfaceDeRedeMFE)(118, "a", "b")); },
       "000118|12000|Rede configurada com sucesso"},
      {"InformarProducaoMFE", [&] { return std::string(TAVIK_EXPORT(InformarProducaoMFE)(119, "a", "b", "c")); },
       "000119|20000|Produção informada com sucesso"},
  };
  for (const auto& step : steps) {
    const std::string answer = step.call();
    const auto wanted_fields = fields_of(step.expected_head).size();
    EXPECT_EQ(head_of(answer, wanted_fields), step.expected_head) << step.name << ": " << answer;
  }
  EXPECT_EQ(sale_key.size(), 47u);
  // Continuous mode: one enumeration and one open device for the whole session.
  EXPECT_EQ(count_events("init"), 1u);
  EXPECT_EQ(count_events("open " + id(device)), 1u);
  EXPECT_EQ(usb_double::census().handles, 1);
}

TEST_F(ExportsOverUsbTest, MfeSendsAnswerInTheSatTextLayout) {
  auto module = start_module();
  usb_double::plug(usb_double::ombrix(2, 1, usb_double::simulator_link(*module)));
  EXPECT_STREQ(TAVIK_EXPORT(ConfigurarInterfaceDeRedeMFE)(4321, "x", "y"), "004321|12000|Rede configurada com sucesso||");
  EXPECT_STREQ(TAVIK_EXPORT(InformarProducaoMFE)(-12, "1", "2", "3"), "-00012|20000|Produção informada com sucesso||");
  // Recorded by the library alone: nothing goes over the wire.
  const auto before = usb_double::transfers().size();
  EXPECT_STREQ(TAVIK_EXPORT(EnviarStatusAC)(4322, "a", "b", "c"), "");
  EXPECT_EQ(usb_double::transfers().size(), before);
}

}  // namespace
}  // namespace tavik::e2e_usb
