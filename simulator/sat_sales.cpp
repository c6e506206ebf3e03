// Sales, their cancellation and the end-to-end test.
#include <fmt/format.h>

#include "simulator/cfe_document.h"
#include "simulator/fiscal_module.h"
#include "simulator/sat_texts.h"
#include "simulator/text_utils.h"
#include "simulator/xml_scan.h"

namespace tavik::simulator {
namespace {

constexpr std::size_t kMaxSaleBytes = 1500 * 1024;

bool looks_like_cfe(std::string_view xml, std::string_view root) {
  const auto document = xml::find(xml, root);
  return document && xml::find(document->inner, "infCFe").has_value();
}

}  // namespace

codec::SatFields FiscalModule::enviar_dados_venda(const Call& call) {
  if (!activated_) return fail(call, 2, "SAT ainda não ativado");
  if (!code_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  switch (block_state_) {
    case BlockState::Unblocked: break;
    case BlockState::ByTaxpayer: return fail(call, 6, "SAT bloqueado pelo contribuinte");
    case BlockState::BySefaz:
    case BlockState::ForDeactivation: return fail(call, 7, "SAT bloqueado pela SEFAZ");
    case BlockState::Autonomous:
      return blocked_for_wrong_codes_ ? fail(call, 9, "SAT bloqueado, código de ativação incorreto")
                                      : fail(call, 8, "SAT bloqueado por falta de comunicação");
  }
  const std::string sale = call.arg(1);
  if (sale.size() > kMaxSaleBytes) return fail(call, 5, "Tamanho do CF-e-SAT superior a 1.500KB");
  if (!looks_like_cfe(sale, "CFe")) return fail(call, 10, "Erro de validação do conteúdo");
  if (!ac_signature_) return fail(call, 3, "SAT não vinculado ao AC");
  if (xml::text_of(sale, "signAC").value_or("") != *ac_signature_) {
    return fail(call, 4, "Vinculação do AC não confere");
  }

  Emission e;
  const std::string stamp = date_time_text(call.now);
  e.parts = {uf_, stamp.substr(2, 4), taxpayer_cnpj_, nserie(), next_ncfe_, random_digits(6)};
  e.key = access_key(e.parts);
  e.date = stamp.substr(0, 8);
  e.time = stamp.substr(8);
  e.qr_signature = base64_encode(random_bytes(256));
  e.total = amount_text(sale_total_cents(sale));
  e.consumer = sale_consumer(sale);
  next_ncfe_ = next_ncfe_ >= 999999 ? 1 : next_ncfe_ + 1;

  auto answer = reply(call, 0, "Emitido com sucesso + conteúdo notas",
                      {base64_encode(sale_document(e, sale)), stamp, "CFe" + e.key, e.total, e.consumer,
                       e.qr_signature});
  last_sale_ = LastSale{e.key, e.total, e.consumer, stamp, false};
  last_cfe_key_ = e.key;
  last_fiscal_answer_ = answer;
  last_transmission_ = last_sefaz_contact_ = stamp;
  return answer;
}

codec::SatFields FiscalModule::cancelar_ultima_venda(const Call& call) {
  if (!activated_) return fail(call, 2, "Cupom inválido");
  if (!code_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  switch (block_state_) {
    case BlockState::Unblocked: break;
    case BlockState::ByTaxpayer: return fail(call, 3, "SAT bloqueado pelo contribuinte");
    case BlockState::BySefaz:
    case BlockState::ForDeactivation: return fail(call, 4, "SAT bloqueado pela SEFAZ");
    case BlockState::Autonomous:
      return blocked_for_wrong_codes_ ? fail(call, 6, "SAT bloqueado, código de ativação incorreto")
                                      : fail(call, 5, "SAT bloqueado por falta de comunicação");
  }
  const std::string key = call.arg(1);
  if (!last_sale_ || last_sale_->cancelled || key != "CFe" + last_sale_->key) return fail(call, 2, "Cupom inválido");
  const std::string cancellation = call.arg(2);
  const auto inf = xml::find(xml::find(cancellation, "CFeCanc").value_or(xml::Element{}).inner, "infCFe");
  if (!inf || xml::attribute(*inf, "chCanc").value_or("") != key) {
    return fail(call, 7, "Erro de validação do conteúdo");
  }

  Emission e;
  const std::string stamp = date_time_text(call.now);
  e.parts = {uf_, stamp.substr(2, 4), taxpayer_cnpj_, nserie(), next_ncfe_, random_digits(6)};
  e.key = access_key(e.parts);
  e.date = stamp.substr(0, 8);
  e.time = stamp.substr(8);
  e.qr_signature = base64_encode(random_bytes(256));
  e.total = last_sale_->total;
  e.consumer = last_sale_->consumer;
  next_ncfe_ = next_ncfe_ >= 999999 ? 1 : next_ncfe_ + 1;

  const std::string document = cancellation_document(e, last_sale_->key, last_sale_->emitted_at, cancellation);
  auto answer = reply(call, 0, "Cupom cancelado com sucesso + conteudo CF-e-SAT cancelado",
                      {base64_encode(document), stamp, "CFe" + e.key, e.total, e.consumer, e.qr_signature});
  last_sale_->cancelled = true;
  last_cfe_key_ = e.key;
  last_fiscal_answer_ = answer;
  last_transmission_ = last_sefaz_contact_ = stamp;
  return answer;
}

codec::SatFields FiscalModule::teste_fim_a_fim(const Call& call) {
  if (!activated_) return fail(call, 2, "SAT ainda não ativado");
  if (!code_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  const std::string sale = call.arg(1);
  if (!looks_like_cfe(sale, "CFe")) return fail(call, 99, unknown_error_text(9));

  // The test takes no number from the sale sequence.
  Emission e;
  const std::string stamp = date_time_text(call.now);
  e.parts = {uf_, stamp.substr(2, 4), taxpayer_cnpj_, nserie(), 0, random_digits(6)};
  e.key = access_key(e.parts);
  e.date = stamp.substr(0, 8);
  e.time = stamp.substr(8);
  e.qr_signature = base64_encode(random_bytes(256));
  e.total = amount_text(sale_total_cents(sale));
  e.consumer = sale_consumer(sale);
  last_sefaz_contact_ = stamp;
  return reply(call, 0, "Emitido com sucesso",
               {base64_encode(sale_document(e, sale)), stamp, "000000", "CFe" + e.key});
}

}  // namespace tavik::simulator
