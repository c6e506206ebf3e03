#include "dllsat/catalogue.h"

#include <array>

namespace tavik::dllsat {
namespace {

using codec::SatFunction;

constexpr std::array<SatFunctionEntry, 16> entries{{
    {SatFunction::ConsultarSAT, "ConsultarSAT", 2},
    {SatFunction::ConsultarStatusOperacional, "ConsultarStatusOperacional", 2},
    {SatFunction::AtualizarSoftwareSAT, "AtualizarSoftwareSAT", 1800},
    {SatFunction::ExtrairLogs, "ExtrairLogs", 20},
    {SatFunction::EnviarDadosVenda, "EnviarDadosVenda", 8},
    {SatFunction::AtivarSAT, "AtivarSAT", 1800},
    {SatFunction::AssociarAssinatura, "AssociarAssinatura", 1800},
    {SatFunction::ConsultarNumeroSessao, "ConsultarNumeroSessao", 20},
    {SatFunction::ConsultarUltimaSessaoFiscal, "ConsultarUltimaSessaoFiscal", 20},
    {SatFunction::CancelarUltimaVenda, "CancelarUltimaVenda", 10},
    {SatFunction::ConfigurarInterfaceDeRede, "ConfigurarInterfaceDeRede", 20},
    {SatFunction::BloquearSAT, "BloquearSAT", 300},
    {SatFunction::DesbloquearSAT, "DesbloquearSAT", 1200},
    {SatFunction::TesteFimAFim, "TesteFimAFim", 20},
    {SatFunction::ComunicarCertificadoICPBRASIL, "ComunicarCertificadoICPBRASIL", 300},
    {SatFunction::TrocarCodigoDeAtivacao, "TrocarCodigoDeAtivacao", 20},
}};

// The table is indexed by code value.
constexpr bool indexed_by_code() {
  for (std::size_t i = 0; i < entries.size(); ++i) {
    if (static_cast<std::size_t>(entries[i].function) != i) return false;
  }
  return true;
}
static_assert(indexed_by_code());

}  // namespace

std::span<const SatFunctionEntry> sat_catalogue() { return entries; }

const SatFunctionEntry& catalogue_entry(SatFunction function) {
  // Only a cast can make a code outside the enumeration; never read past the table.
  const auto index = static_cast<std::size_t>(function);
  return index < entries.size() ? entries[index] : entries[0];
}

std::uint64_t response_timeout(SatFunction function) { return catalogue_entry(function).wait_seconds; }

std::string_view function_name(SatFunction function) { return catalogue_entry(function).name; }

}  // namespace tavik::dllsat
