// Presence, status and stored-session queries.
#include <algorithm>

#include "simulator/fiscal_module.h"
#include "simulator/sat_texts.h"
#include "simulator/text_utils.h"

namespace tavik::simulator {

codec::SatFields FiscalModule::consultar_sat(const Call& call) {
  // The basic presence test: answered in every activation and block state.
  return reply(call, 0, "SAT em Operação");
}

codec::SatFields FiscalModule::consultar_status(const Call& call) {
  if (!code_or_factory_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  return reply(call, 0, "Resposta com sucesso", status_fields(call.now));
}

codec::SatFields FiscalModule::consultar_numero_sessao(const Call& call) {
  if (!activated_) return fail(call, 2, "SAT ainda não ativado");
  if (!code_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  const auto queried = parse_integer(call.arg(1));
  // Newest first: a number stored twice answers with its latest session.
  const auto found = std::find_if(session_answers_.rbegin(), session_answers_.rend(),
                                  [&](const StoredSession& s) { return queried && s.session == *queried; });
  if (found == session_answers_.rend() || !found->retrievable) return fail(call, 3, "Sessão não existe");
  return found->answer;
}

codec::SatFields FiscalModule::consultar_ultima_sessao_fiscal(const Call& call) {
  if (!activated_) return fail(call, 2, "SAT ainda não ativado");
  if (!code_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  if (!last_fiscal_answer_) return fail(call, 3, "Não existe sessão fiscal");
  return *last_fiscal_answer_;
}

}  // namespace tavik::simulator
