#include "simulator/fiscal_module.h"

#include <algorithm>
#include <fmt/format.h>

#include "simulator/sat_texts.h"
#include "simulator/text_utils.h"

namespace tavik::simulator {

using codec::SatFunction;

namespace {
constexpr std::size_t kRecentSessions = 100;
constexpr std::size_t kMaxLogRecords = 1000;
constexpr std::string_view kFactoryCode = "00000000";

std::uint32_t seed_of(const DeviceConfig& config) {
  return config.random_seed != 0 ? config.random_seed : std::random_device{}();
}
}  // namespace

FiscalModule::FiscalModule(DeviceConfig config) : config_(std::move(config)), random_(seed_of(config_)) {
  taxpayer_cnpj_ = config_.taxpayer_cnpj;
  uf_ = config_.uf;
  if (config_.activation_code) {
    activated_ = true;
    activation_code_ = *config_.activation_code;
  }
  ac_signature_ = config_.ac_signature;
  // A module talks to SEFAZ from the moment it is on, sale or no sale: the
  // status table's DH_ULTIMA is never empty.
  last_sefaz_contact_ = date_time_text(now());
}

std::chrono::system_clock::time_point FiscalModule::now() const {
  return config_.clock ? config_.clock() : std::chrono::system_clock::now();
}

std::string FiscalModule::nserie() const {
  std::string digits = config_.serial;
  if (digits.size() > 9) digits = digits.substr(digits.size() - 9);
  return std::string(9 - digits.size(), '0') + digits;
}

DeviceSnapshot FiscalModule::snapshot() const {
  std::lock_guard lock(mutex_);
  return {activated_, activation_code_, block_state_, next_ncfe_, last_sale_, network_};
}

void FiscalModule::set_block_state(BlockState state) {
  std::lock_guard lock(mutex_);
  block_state_ = state;
  blocked_for_wrong_codes_ = false;
}

SatAnswer FiscalModule::answer(const codec::SatBody& request, const AnswerOptions& options) {
  std::lock_guard lock(mutex_);
  const Call call{request.fields.num_session, request.code, request.fields.contents, now(), options};
  const int prefix = prefix_of(call.function);

  if (config_.refuse_reused_sessions &&
      std::ranges::find(recent_sessions_, call.session) != recent_sessions_.end()) {
    return {fail(call, 97, invalid_session_text())};
  }
  SatAnswer result;
  if (call.now < busy_until_) {
    result.fields = fail(call, 98, busy_text(prefix));
  } else {
    result.fields = dispatch(call);
    const bool long_command =
        call.function == SatFunction::AtivarSAT || call.function == SatFunction::AtualizarSoftwareSAT;
    if (long_command && config_.long_command_duration.count() > 0) {
      busy_until_ = call.now + config_.long_command_duration;
      result.takes = config_.long_command_duration;
    }
  }
  remember(call, result.fields);
  return result;
}

codec::SatFields FiscalModule::dispatch(const Call& call) {
  switch (call.function) {
    case SatFunction::AtivarSAT: return ativar_sat(call);
    case SatFunction::ComunicarCertificadoICPBRASIL: return comunicar_certificado(call);
    case SatFunction::EnviarDadosVenda: return enviar_dados_venda(call);
    case SatFunction::CancelarUltimaVenda: return cancelar_ultima_venda(call);
    case SatFunction::ConsultarSAT: return consultar_sat(call);
    case SatFunction::TesteFimAFim: return teste_fim_a_fim(call);
    case SatFunction::ConsultarStatusOperacional: return consultar_status(call);
    case SatFunction::ConsultarNumeroSessao: return consultar_numero_sessao(call);
    case SatFunction::ConfigurarInterfaceDeRede: return configurar_rede(call);
    case SatFunction::AssociarAssinatura: return associar_assinatura(call);
    case SatFunction::AtualizarSoftwareSAT: return atualizar_software(call);
    case SatFunction::ExtrairLogs: return extrair_logs(call);
    case SatFunction::BloquearSAT: return bloquear(call);
    case SatFunction::DesbloquearSAT: return desbloquear(call);
    case SatFunction::TrocarCodigoDeAtivacao: return trocar_codigo(call);
    case SatFunction::ConsultarUltimaSessaoFiscal: return consultar_ultima_sessao_fiscal(call);
  }
  return fail(call, 99, unknown_error_text(99));
}

codec::SatFields FiscalModule::reply(const Call& call, int outcome, std::string_view text,
                                     std::vector<std::string> extra) const {
  codec::SatFields fields{call.session, {result_code(prefix_of(call.function), outcome)}};
  if (carries_cccc(call.function)) fields.contents.emplace_back(outcome == 0 ? "0000" : kFailureCccc);
  fields.contents.emplace_back(text);
  fields.contents.emplace_back();  // cod
  fields.contents.emplace_back();  // mensagemSEFAZ
  for (auto& field : extra) fields.contents.push_back(std::move(field));
  return fields;
}

codec::SatFields FiscalModule::fail(const Call& call, int outcome, std::string_view text) const {
  codec::SatFields fields = reply(call, outcome, text);
  if (config_.drop_cccc_on_failure && carries_cccc(call.function)) fields.contents.erase(fields.contents.begin() + 1);
  return fields;
}

bool FiscalModule::code_accepted(std::string_view given) {
  if (activated_ && given == activation_code_) return true;
  ++wrong_code_count_;
  if (config_.block_after_wrong_codes != 0 && wrong_code_count_ >= config_.block_after_wrong_codes &&
      block_state_ == BlockState::Unblocked) {
    block_state_ = BlockState::Autonomous;
    blocked_for_wrong_codes_ = true;
  }
  return false;
}

bool FiscalModule::code_or_factory_accepted(std::string_view given) {
  return activated_ ? code_accepted(given) : given == kFactoryCode;
}

void FiscalModule::remember(const Call& call, const codec::SatFields& answer) {
  recent_sessions_.push_back(call.session);
  while (recent_sessions_.size() > kRecentSessions) recent_sessions_.pop_front();
  const bool retrievable = call.function != SatFunction::ConsultarNumeroSessao;
  session_answers_.push_back({call.session, retrievable ? answer : codec::SatFields{}, retrievable});
  const std::size_t depth = std::clamp<std::size_t>(config_.session_depth, 1, kRecentSessions);
  while (session_answers_.size() > depth) session_answers_.pop_front();
  log_record(call, "AC-SAT", answer.contents.empty() || answer.contents[0].ends_with("000") ? "info" : "erro",
             fmt::format("{} {}", codec::name_of(call.function),
                         answer.contents.empty() ? std::string() : answer.contents[0]));
}

void FiscalModule::log_record(const Call& call, std::string_view origin, std::string_view level,
                              std::string text) {
  log_.push_back(fmt::format("{}|{}|{}|{}", date_time_text(call.now), origin, level, text));
  while (log_.size() > kMaxLogRecords) log_.pop_front();
}

std::string FiscalModule::random_digits(int count) {
  std::uniform_int_distribution<int> digit(0, 9);
  std::string digits;
  for (int i = 0; i < count; ++i) digits += char('0' + digit(random_));
  return digits;
}

std::string FiscalModule::random_bytes(std::size_t count) {
  std::uniform_int_distribution<int> byte(0, 255);
  std::string bytes(count, '\0');
  for (auto& b : bytes) b = char(byte(random_));
  return bytes;
}

std::vector<std::string> FiscalModule::status_fields(std::chrono::system_clock::time_point at) const {
  const std::string serial = nserie();
  const std::string mac = fmt::format("00:11:22:{}:{}:{}", serial.substr(3, 2), serial.substr(5, 2),
                                      serial.substr(7, 2));
  const bool any_cfe = !last_cfe_key_.empty();
  const std::string nothing_pending(44, '0');
  const auto issued = std::chrono::sys_days{std::chrono::year{2024} / 1 / 15};
  const auto expires = std::chrono::sys_days{std::chrono::year{2029} / 1 / 15};
  return {
      serial,
      network_.lan_type,
      network_.ip,
      mac,
      network_.mask,
      network_.gateway,
      network_.dns1,
      network_.dns2,
      "CONECTADO",
      "ALTO",
      "4 GB",
      "260 MB",
      date_time_text(at),
      "01.00.00",
      "00.06",
      last_cfe_key_,
      any_cfe ? nothing_pending : std::string(),
      any_cfe ? nothing_pending : std::string(),
      last_transmission_,
      last_sefaz_contact_,
      date_text(issued),
      date_text(expires),
      std::to_string(int(block_state_)),
  };
}

codec::MfeFields FiscalModule::answer(const codec::MfeBody& request) {
  using codec::MfeMessageType;
  std::lock_guard lock(mutex_);
  const auto& session = request.fields.num_session;
  auto with = [&](std::vector<std::string> contents) { return codec::MfeFields{session, std::move(contents)}; };
  switch (request.code) {
    case MfeMessageType::HeartBeatPDV:
      return {0, {std::to_string(config_.heartbeat_interval_seconds)}};
    case MfeMessageType::ConsultarStatusOperacionalMFE: {
      std::vector<std::string> contents{"10000", "Resposta com sucesso", "", ""};
      for (auto& field : status_fields(now())) contents.push_back(std::move(field));
      return with(std::move(contents));
    }
    case MfeMessageType::ConfigurarInterfaceDeRedeMFE:
      return with({"12000", "Rede configurada com sucesso", "", ""});
    case MfeMessageType::InformarProducaoMFE:
      return with({"20000", "Produção informada com sucesso", "", ""});
    case MfeMessageType::Beacon:
    case MfeMessageType::EnviarStatusAC:
      break;
  }
  return with({"99999", "Mensagem desconhecida"});
}

}  // namespace tavik::simulator
