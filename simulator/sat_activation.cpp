// Activation, the ICP-Brasil certificate and activation-code changes.
#include <fmt/format.h>

#include "simulator/fiscal_module.h"
#include "simulator/sat_texts.h"
#include "simulator/text_utils.h"

namespace tavik::simulator {
namespace {

std::string pem_lines(std::string_view label, std::string_view der) {
  const std::string body = base64_encode(der);
  std::string pem = fmt::format("-----BEGIN {}-----\r\n", label);
  for (std::size_t i = 0; i < body.size(); i += 64) pem += body.substr(i, 64) + "\r\n";
  pem += fmt::format("-----END {}-----\r\n", label);
  return pem;
}

}  // namespace

codec::SatFields FiscalModule::ativar_sat(const Call& call) {
  const auto sub_command = parse_integer(call.arg(0));
  const std::string code = call.arg(1);
  const std::string cnpj = call.arg(2);
  const auto uf = parse_integer(call.arg(3));

  if (block_state_ == BlockState::ForDeactivation) return fail(call, 4, "SAT com uso cessado");
  if (!sub_command || *sub_command < 1 || *sub_command > 3 || code.empty() || !uf) {
    return fail(call, 99, unknown_error_text(4));
  }
  const bool renewal = *sub_command == 3 && activated_;
  if (activated_ && !renewal) return fail(call, 3, "SAT já ativado");
  if (cnpj.size() != 14 || !all_digits(cnpj)) return fail(call, 2, "SEFAZ não reconhece este SAT (CNPJ inválido)");

  if (*sub_command == 1) {
    activated_ = true;
    icp_pending_ = false;
    activation_code_ = code;
    taxpayer_cnpj_ = cnpj;
    uf_ = int(*uf);
    last_sefaz_contact_ = date_time_text(call.now);
    return reply(call, 0, "Ativado corretamente", {""});
  }
  // ICP-Brasil: the device makes a key pair and a certificate request; the
  // activation completes when ComunicarCertificadoICPBRASIL brings the
  // certificate. A renewal keeps the device active meanwhile.
  if (!renewal) {
    icp_pending_ = true;
    activation_code_ = code;
    taxpayer_cnpj_ = cnpj;
    uf_ = int(*uf);
  }
  const std::string csr = pem_lines("CERTIFICATE REQUEST", "0\x82simulated request for " + nserie() + " " +
                                                               cnpj + random_bytes(96));
  return reply(call, 6, "CSR ICP-BRASIL criado com sucesso", {base64_encode(csr)});
}

codec::SatFields FiscalModule::comunicar_certificado(const Call& call) {
  const std::string code = call.arg(0);
  if (icp_pending_) {
    if (code != activation_code_) return fail(call, 1, wrong_code_text());
  } else if (!code_accepted(code)) {
    return fail(call, 1, wrong_code_text());
  }
  if (call.arg(1).find("-----BEGIN CERTIFICATE-----") == std::string::npos) {
    return fail(call, 3, "Certificado inválido");
  }
  activated_ = true;
  icp_pending_ = false;
  last_sefaz_contact_ = date_time_text(call.now);
  return reply(call, 0, "Certificado transmitido com sucesso");
}

codec::SatFields FiscalModule::trocar_codigo(const Call& call) {
  const std::string code = call.arg(0);
  const auto option = parse_integer(call.arg(1));
  const std::string new_code = call.arg(2);
  if (option == 2) {
    if (!activated_ || code != config_.emergency_code) {
      return fail(call, 2, "Código de ativação de emergência incorreto");
    }
  } else if (!code_accepted(code)) {
    return fail(call, 1, wrong_code_text());
  }
  if ((option != 1 && option != 2) || new_code.empty() || new_code != call.arg(3)) {
    return fail(call, 99, unknown_error_text(18));
  }
  activation_code_ = new_code;
  wrong_code_count_ = 0;
  return reply(call, 0, "Código de ativação alterado com sucesso");
}

}  // namespace tavik::simulator
