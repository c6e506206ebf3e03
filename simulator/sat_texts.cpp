#include "simulator/sat_texts.h"

#include <fmt/format.h>

namespace tavik::simulator {

using codec::SatFunction;

int prefix_of(SatFunction function) {
  switch (function) {
    case SatFunction::AtivarSAT: return 4;
    case SatFunction::ComunicarCertificadoICPBRASIL: return 5;
    case SatFunction::EnviarDadosVenda: return 6;
    case SatFunction::CancelarUltimaVenda: return 7;
    case SatFunction::ConsultarSAT: return 8;
    case SatFunction::TesteFimAFim: return 9;
    case SatFunction::ConsultarStatusOperacional: return 10;
    case SatFunction::ConsultarNumeroSessao: return 11;
    case SatFunction::ConfigurarInterfaceDeRede: return 12;
    case SatFunction::AssociarAssinatura: return 13;
    case SatFunction::AtualizarSoftwareSAT: return 14;
    case SatFunction::ExtrairLogs: return 15;
    case SatFunction::BloquearSAT: return 16;
    case SatFunction::DesbloquearSAT: return 17;
    case SatFunction::TrocarCodigoDeAtivacao: return 18;
    case SatFunction::ConsultarUltimaSessaoFiscal: return 19;
  }
  return 99;
}

bool carries_cccc(SatFunction function) {
  return function == SatFunction::EnviarDadosVenda || function == SatFunction::CancelarUltimaVenda ||
         function == SatFunction::AssociarAssinatura;
}

std::string result_code(int prefix, int outcome) { return fmt::format("{:02}{:03}", prefix, outcome); }

std::string_view wrong_code_text() { return "Código de ativação inválido"; }
std::string_view invalid_session_text() { return "Número de sessão inválido"; }

std::string_view busy_text(int prefix) {
  // One real device wrote 12098 without the final full stop.
  return prefix == 12 ? "SAT em processamento. Tente novamente" : "SAT em processamento. Tente novamente.";
}

std::string_view unknown_error_text(int prefix) {
  if (prefix == 4) return "Erro desconhecido na ativacao";
  if (prefix == 6 || prefix == 7) return "Erro desconhecido na emissão";
  return "Erro desconhecido";
}

}  // namespace tavik::simulator
