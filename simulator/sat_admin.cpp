// Network settings, the AC signature, software update, logs and blocking.
#include <fmt/format.h>

#include "simulator/fiscal_module.h"
#include "simulator/sat_texts.h"
#include "simulator/text_utils.h"
#include "simulator/xml_scan.h"

namespace tavik::simulator {
namespace {

// "10.0.0.8" -> "010.000.000.008"; nothing when it is no IPv4 address.
std::optional<std::string> padded_ipv4(std::string_view text) {
  std::string padded;
  int octets = 0;
  while (true) {
    const std::size_t dot = text.find('.');
    const std::string_view part = text.substr(0, dot);
    const auto value = all_digits(part) && part.size() <= 3 ? parse_integer(part) : std::nullopt;
    if (!value || *value > 255) return std::nullopt;
    padded += (octets > 0 ? "." : "") + zero_padded(std::uint64_t(*value), 3);
    ++octets;
    if (dot == std::string_view::npos) break;
    text.remove_prefix(dot + 1);
  }
  if (octets != 4) return std::nullopt;
  return padded;
}

std::optional<NetworkSettings> read_network_config(std::string_view xml_text, const NetworkSettings& current) {
  const auto config = xml::find(xml_text, "config");
  if (!config) return std::nullopt;
  NetworkSettings settings = current;
  const auto interface_type = xml::text_of(config->inner, "tipoInter");
  const auto lan_type = xml::text_of(config->inner, "tipoLan");
  if (!interface_type || (*interface_type != "ETHE" && *interface_type != "WIFI")) return std::nullopt;
  if (!lan_type || (*lan_type != "DHCP" && *lan_type != "PPPOE" && *lan_type != "IPFIX")) return std::nullopt;
  settings.interface_type = *interface_type;
  settings.lan_type = *lan_type;
  if (*lan_type != "IPFIX") return settings;

  struct Address {
    std::string_view element;
    std::string NetworkSettings::*field;
    bool required;
  };
  for (const auto& [element, field, required] :
       {Address{"lanIP", &NetworkSettings::ip, true}, Address{"lanMask", &NetworkSettings::mask, true},
        Address{"lanGW", &NetworkSettings::gateway, true}, Address{"lanDNS1", &NetworkSettings::dns1, false},
        Address{"lanDNS2", &NetworkSettings::dns2, false}}) {
    const auto text = xml::text_of(config->inner, element);
    if (!text) {
      if (required) return std::nullopt;
      continue;
    }
    const auto padded = padded_ipv4(*text);
    if (!padded) return std::nullopt;
    settings.*field = *padded;
  }
  return settings;
}

}  // namespace

codec::SatFields FiscalModule::configurar_rede(const Call& call) {
  if (!code_or_factory_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  const auto settings = read_network_config(call.arg(1), network_);
  if (!settings) return fail(call, 2, "Dados fora do padrão a ser informado");
  network_ = *settings;
  return reply(call, 0, "Rede configurada com sucesso");
}

codec::SatFields FiscalModule::associar_assinatura(const Call& call) {
  if (!code_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  const std::string cnpjs = call.arg(1);
  const std::string signature = call.arg(2);
  if (cnpjs.size() != 28 || !all_digits(cnpjs)) return fail(call, 4, "Erro de validação do conteúdo");
  if (cnpjs.substr(14) != taxpayer_cnpj_) {
    return fail(call, 7, "CNPJ do contribuinte difere daquele constante da parametrização de uso");
  }
  if (signature.size() != 344 || !is_base64(signature)) return fail(call, 3, "Assinatura fora do padrão especificado");
  ac_signature_ = signature;
  return reply(call, 0, "Assinatura do AC registrada");
}

codec::SatFields FiscalModule::atualizar_software(const Call& call) {
  if (!code_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  return reply(call, 0, "Software atualizado com sucesso");
}

codec::SatFields FiscalModule::extrair_logs(const Call& call) {
  if (!code_or_factory_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  std::string text;
  for (const auto& record : log_) text += record + "\n";
  text += fmt::format("{}|SAT|info|Extração de logs solicitada", date_time_text(call.now));
  // The huge-answer fault: filler records up to the requested size.
  for (std::size_t n = 1; text.size() < call.options.huge_log_bytes; ++n) {
    text += fmt::format("\n{}|SAT|info|Registro de preenchimento {:08} para um log extenso", date_time_text(call.now), n);
  }
  return reply(call, 0, "Transferência completa", {base64_encode(text)});
}

codec::SatFields FiscalModule::bloquear(const Call& call) {
  if (!code_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  if (block_state_ != BlockState::Unblocked) return fail(call, 2, "Equipamento SAT já está bloqueado");
  block_state_ = BlockState::ByTaxpayer;
  return reply(call, 0, "Equipamento SAT bloqueado com sucesso");
}

codec::SatFields FiscalModule::desbloquear(const Call& call) {
  if (!code_accepted(call.arg(0))) return fail(call, 1, wrong_code_text());
  switch (block_state_) {
    case BlockState::Unblocked: return fail(call, 5, "SAT ja desbloqueado");
    case BlockState::BySefaz: return fail(call, 3, "SAT bloqueado pela SEFAZ");
    case BlockState::Autonomous: return fail(call, 6, "SAT com bloqueio autônomo");
    case BlockState::ForDeactivation: return fail(call, 7, "SAT bloqueado para desativação");
    case BlockState::ByTaxpayer: break;
  }
  block_state_ = BlockState::Unblocked;
  return reply(call, 0, "Equipamento SAT desbloqueado com sucesso");
}

}  // namespace tavik::simulator
