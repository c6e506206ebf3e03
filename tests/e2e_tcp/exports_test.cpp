// Every SAT export and the three MFE exports that send a message, called
// through the C interface of the real library against a module found by its
// beacons: each result text must be exactly the answer the module gave. A
// second FiscalModule with the same configuration, fed the same requests,
// says what those answers are.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_tcp/child_process.h"
#include "e2e_tcp/library.h"
#include "e2e_tcp/module_log.h"
#include "private_network.h"
#include "simulator/test_device.h"

namespace tavik::e2e {
namespace {

using codec::MfeMessageType;
using codec::SatFunction;
using simulator::testing::kCnpj;
using simulator::testing::kCode;
using simulator::testing::kSoftwareHouse;

// Calls one export with a fresh session number and compares its text with
// what the twin module answers to the same request.
class SameAnswers {
 public:
  explicit SameAnswers(simulator::FiscalModule& twin) : twin_(twin) {}

  codec::SatFields sat(SatFunction function, std::vector<std::string> args,
                       const std::function<const char*(int)>& call) {
    const int session = next_++;
    const std::string got = call(session);
    codec::SatFields expected = twin_.answer({function, codec::Source::Lib, {session, std::move(args)}}).fields;
    EXPECT_EQ(got, codec::body_text(expected)) << codec::name_of(function);
    EXPECT_TRUE(got.starts_with(codec::format_session_number(expected.num_session) + "|")) << got;
    return expected;
  }

  void mfe(MfeMessageType kind, std::vector<std::string> args, const std::function<const char*(int)>& call) {
    const int session = next_++;
    const std::string got = call(session);
    const codec::MfeFields expected = twin_.answer(codec::MfeBody{kind, codec::Source::Lib, {session, std::move(args)}});
    EXPECT_EQ(got, codec::body_text(expected)) << codec::name_of(kind);
    EXPECT_TRUE(got.starts_with(codec::format_session_number(session) + "|")) << got;
  }

  int last_session() const { return next_ - 1; }

 private:
  simulator::FiscalModule& twin_;
  int next_ = 310001;
};

const std::string network_config = "<config><tipoInter>ETHE</tipoInter><tipoLan>DHCP</tipoLan></config>";

TEST(NetworkExports, EverySatAndMfeExportGivesTheModulesAnswer) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child([] {
    ModuleLog log;
    auto module = start_module({.address = "127.0.0.2", .beacons = true}, log);
    ASSERT_TRUE(module);
    simulator::FiscalModule twin(module_config());
    Library library;
    ASSERT_TRUE(library.loaded());
    const Exports& x = *library;
    x.HabilitarRedeBroadcast();  // no filter: the module is found by its beacons

    SameAnswers check(twin);
    const std::string sale_xml = simulator::testing::sale_xml();
    const std::string sign_ac = simulator::testing::signature();
    const std::string cnpjs = std::string(kSoftwareHouse) + kCnpj;

    check.sat(SatFunction::ConsultarSAT, {}, [&](int s) { return x.ConsultarSAT(s); });
    check.sat(SatFunction::ConsultarStatusOperacional, {kCode},
              [&](int s) { return x.ConsultarStatusOperacional(s, kCode); });
    check.sat(SatFunction::AtivarSAT, {"1", kCode, kCnpj, "35"},
              [&](int s) { return x.AtivarSAT(s, 1, kCode, kCnpj, 35); });
    check.sat(SatFunction::ComunicarCertificadoICPBRASIL, {kCode, "MIIB"},
              [&](int s) { return x.ComunicarCertificadoICPBRASIL(s, kCode, "MIIB"); });
    check.sat(SatFunction::AssociarAssinatura, {kCode, cnpjs, sign_ac},
              [&](int s) { return x.AssociarAssinatura(s, kCode, cnpjs.c_str(), sign_ac.c_str()); });
    const auto sale = check.sat(SatFunction::EnviarDadosVenda, {kCode, sale_xml},
                                [&](int s) { return x.EnviarDadosVenda(s, kCode, sale_xml.c_str()); });
    ASSERT_GE(sale.contents.size(), 8u);
    ASSERT_EQ(sale.contents[0], "06000");
    const int sale_session = check.last_session();
    check.sat(SatFunction::ConsultarNumeroSessao, {kCode, std::to_string(sale_session)},
              [&](int s) { return x.ConsultarNumeroSessao(s, kCode, sale_session); });
    check.sat(SatFunction::ConsultarUltimaSessaoFiscal, {kCode},
              [&](int s) { return x.ConsultarUltimaSessaoFiscal(s, kCode); });
    const std::string key = sale.contents[7];
    const std::string cancellation = simulator::testing::cancellation_xml(key);
    const auto cancelled =
        check.sat(SatFunction::CancelarUltimaVenda, {kCode, key, cancellation},
                  [&](int s) { return x.CancelarUltimaVenda(s, kCode, key.c_str(), cancellation.c_str()); });
    EXPECT_EQ(cancelled.contents.at(0), "07000");
    check.sat(SatFunction::TesteFimAFim, {kCode, sale_xml},
              [&](int s) { return x.TesteFimAFim(s, kCode, sale_xml.c_str()); });
    check.sat(SatFunction::ConfigurarInterfaceDeRede, {kCode, network_config},
              [&](int s) { return x.ConfigurarInterfaceDeRede(s, kCode, network_config.c_str()); });
    check.sat(SatFunction::AtualizarSoftwareSAT, {kCode}, [&](int s) { return x.AtualizarSoftwareSAT(s, kCode); });
    check.sat(SatFunction::ExtrairLogs, {kCode}, [&](int s) { return x.ExtrairLogs(s, kCode); });
    check.sat(SatFunction::BloquearSAT, {kCode}, [&](int s) { return x.BloquearSAT(s, kCode); });
    check.sat(SatFunction::DesbloquearSAT, {kCode}, [&](int s) { return x.DesbloquearSAT(s, kCode); });
    check.sat(SatFunction::TrocarCodigoDeAtivacao, {kCode, "1", "11112222", "11112222"},
              [&](int s) { return x.TrocarCodigoDeAtivacao(s, kCode, 1, "11112222", "11112222"); });

    check.mfe(MfeMessageType::ConsultarStatusOperacionalMFE, {"status"},
              [&](int s) { return x.ConsultarStatusOperacionalMFE(s, "status"); });
    check.mfe(MfeMessageType::ConfigurarInterfaceDeRedeMFE, {"ETHE", "DHCP"},
              [&](int s) { return x.ConfigurarInterfaceDeRedeMFE(s, "ETHE", "DHCP"); });
    check.mfe(MfeMessageType::InformarProducaoMFE, {"a", "b", "c\xC3\xA9"},
              [&](int s) { return x.InformarProducaoMFE(s, "a", "b", "c\xC3\xA9"); });

    // All of it went over one TLS connection, opened after one discovery.
    EXPECT_EQ(log.count("] connected"), 1u);
    EXPECT_TRUE(library.log_has("New TCP stream open: Tcp(TcpHandle { info: <omitted>, ip: \"127.0.0.2:9014\""));
  });
}

}  // namespace
}  // namespace tavik::e2e
