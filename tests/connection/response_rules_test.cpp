// Which decoded answers belong to which request, and how long each read waits.
#include <gtest/gtest.h>

#include <set>

#include "dllsat/catalogue.h"
#include "dllsat/sat_message.h"
#include "mfe/mfe_message.h"

namespace tavik {
namespace {

using codec::MfeMessageType;
using codec::SatFunction;

struct SatCase {
  const char* name;
  codec::SatBody request;
  codec::SatBody response;
  bool accepted;
};

codec::SatBody sat(SatFunction code, std::int32_t session, std::vector<std::string> contents = {}) {
  return {code, codec::Source::Lib, {session, std::move(contents)}};
}

codec::SatBody answer(std::int32_t session, std::vector<std::string> contents = {}) {
  return {SatFunction::ConsultarSAT, codec::Source::Application, {session, std::move(contents)}};
}

TEST(SatIsResponseTo, FollowsTheMatchingRules) {
  const auto numero_77 = sat(SatFunction::ConsultarNumeroSessao, 5000, {"code", "77"});
  const SatCase cases[] = {
      {"same session", sat(SatFunction::ConsultarSAT, 4321), answer(4321, {"08000"}), true},
      {"other session", sat(SatFunction::ConsultarSAT, 4321), answer(4322, {"08000"}), false},
      {"other session with another answer's code", sat(SatFunction::EnviarDadosVenda, 7), answer(8, {"x"}), false},
      {"last fiscal session accepts anything", sat(SatFunction::ConsultarUltimaSessaoFiscal, 1, {"c"}), answer(999),
       true},
      {"queried number", numero_77, answer(77), true},
      {"own number of the query", numero_77, answer(5000), true},
      {"neither number", numero_77, answer(12), false},
      {"refusal text does not rescue a query", numero_77, answer(12, {"11099", "Erro desconhecido"}), false},
      {"query with +77", sat(SatFunction::ConsultarNumeroSessao, 5000, {"code", "+77"}), answer(77), true},
      {"query with unreadable number", sat(SatFunction::ConsultarNumeroSessao, 5000, {"code", "77x"}), answer(77),
       false},
      {"query without the number", sat(SatFunction::ConsultarNumeroSessao, 5000, {"code"}), answer(5000), true},
      {"unknown error", sat(SatFunction::ConsultarSAT, 1), answer(2, {"08099", "Erro desconhecido"}), true},
      {"invalid session, accented", sat(SatFunction::ConsultarSAT, 1),
       answer(2, {"08097", "Número de sessão inválido"}), true},
      {"invalid session, third field", sat(SatFunction::ConsultarSAT, 1),
       answer(2, {"08097", "x", "Numero de sessao invalida"}), true},
      {"refusal text in the wrong field", sat(SatFunction::ConsultarSAT, 1), answer(2, {"Erro desconhecido"}), false},
      {"refusal text must match whole", sat(SatFunction::ConsultarSAT, 1), answer(2, {"08099", "Erro desconhecido."}),
       false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(dllsat::is_response_to(c.request, c.response), c.accepted) << c.name;
  }
}

struct MfeCase {
  const char* name;
  MfeMessageType kind;
  std::optional<std::int32_t> request_session;
  std::optional<std::int32_t> response_session;
  bool accepted;
};

TEST(MfeIsResponseTo, FollowsTheMatchingRules) {
  const MfeCase cases[] = {
      {"heartbeat takes anything", MfeMessageType::HeartBeatPDV, std::nullopt, 55, true},
      {"beacon takes anything", MfeMessageType::Beacon, 1, 2, true},
      {"answer without a number", MfeMessageType::ConsultarStatusOperacionalMFE, 123, std::nullopt, true},
      {"same number", MfeMessageType::ConsultarStatusOperacionalMFE, 123, 123, true},
      {"other number", MfeMessageType::ConsultarStatusOperacionalMFE, 123, 124, false},
      {"request without number, answer with one", MfeMessageType::InformarProducaoMFE, std::nullopt, 5, false},
  };
  for (const auto& c : cases) {
    const codec::MfeBody request{c.kind, codec::Source::Lib, {c.request_session, {"x"}}};
    // The answer's kind plays no part.
    const codec::MfeBody response{MfeMessageType::EnviarStatusAC, codec::Source::Application,
                                  {c.response_session, {"a"}}};
    EXPECT_EQ(mfe::is_response_to(request, response), c.accepted) << c.name;
  }
}

TEST(ResponseTimeout, CatalogueWaitsAndNames) {
  EXPECT_EQ(dllsat::response_timeout(SatFunction::ConsultarSAT), 2u);
  EXPECT_EQ(dllsat::response_timeout(SatFunction::AtivarSAT), 1800u);
  EXPECT_EQ(dllsat::response_timeout(SatFunction::EnviarDadosVenda), 8u);
  EXPECT_EQ(dllsat::response_timeout(SatFunction::DesbloquearSAT), 1200u);
  EXPECT_EQ(dllsat::response_timeout(SatFunction::CancelarUltimaVenda), 10u);
  // The catalogue's names are the ones the codec writes on the wire.
  std::set<SatFunction> seen;
  for (const auto& entry : dllsat::sat_catalogue()) {
    EXPECT_EQ(entry.name, codec::name_of(entry.function));
    seen.insert(entry.function);
  }
  EXPECT_EQ(seen.size(), 16u);

  EXPECT_EQ(mfe::response_timeout(MfeMessageType::InformarProducaoMFE), 40u);
  for (auto kind : {MfeMessageType::Beacon, MfeMessageType::HeartBeatPDV, MfeMessageType::ConfigurarInterfaceDeRedeMFE,
                    MfeMessageType::ConsultarStatusOperacionalMFE, MfeMessageType::EnviarStatusAC}) {
    EXPECT_EQ(mfe::response_timeout(kind), 20u);
  }
}

}  // namespace
}  // namespace tavik
