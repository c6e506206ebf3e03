#include "call_mix.h"

#include <cstdlib>
#include <functional>

#include <fmt/format.h>

namespace tavik::soak {
namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::seconds;

constexpr const char* kActivationCode = "12345678";
constexpr std::string_view kTimeout = "timeout";
constexpr std::string_view kNullArgument = "Argumento eh NULL";
constexpr std::string_view kNotUtf8 = "Argumento nao eh UTF-8 valido";

// Beyond the read time-out T of the call, what one exchange may add on
// loopback: an opening with a discovery that hears two beacons sent every
// 150 ms, the TCP connect, the TLS handshake and the liveness checks. A call
// may queue behind one such exchange of every other caller and of the
// heartbeat. None of the injected faults makes a read wait out its time-out,
// so a call that takes longer shows a wait the library should not have made.
constexpr Clock::duration kExchangeAllowance = seconds(1);

std::string session_text(std::int32_t session) {
  return session < 0 ? fmt::format("-{:05}", -static_cast<std::int64_t>(session)) : fmt::format("{:06}", session);
}

std::string copy_text(const char* text) { return text == nullptr ? std::string("<NULL>") : std::string(text); }

bool is_device_not_found(std::int32_t session, std::string_view text) {
  return text == session_text(session) + "|9999|SAT Desconectado";
}

}  // namespace

Outcome classify_sat_result(std::int32_t session, std::string_view text) {
  if (text == kTimeout || is_device_not_found(session, text)) return Outcome::ErrorText;
  return text.starts_with(session_text(session) + "|") ? Outcome::Answer : Outcome::Mismatch;
}

Outcome classify_mfe_result(std::int32_t session, std::string_view success_code, std::string_view text) {
  if (text == kTimeout || is_device_not_found(session, text)) return Outcome::ErrorText;
  // The module answers every message the soak sends with its session number
  // and the message's success code; anything else is not its answer.
  return text.starts_with(fmt::format("{}|{}|", session_text(session), success_code)) ? Outcome::Answer
                                                                                      : Outcome::Mismatch;
}

namespace {

struct CallKind {
  std::string_view name;
  Clock::duration read_timeout;  // T of every read of its exchange; 0: no device exchange
  std::function<CallResult(const Exports&, std::int32_t session)> call;
  // A number from GeraNumeroSessao that no call uses stays remembered as
  // issued, which would read as growth: only calls that take one get one.
  bool takes_session = true;
};

CallResult sat(std::string_view name, std::int32_t session, const char* text) {
  std::string copy = copy_text(text);
  const Outcome outcome = classify_sat_result(session, copy);
  return {name, outcome, {}, {}, std::move(copy)};
}

CallResult mfe(std::string_view name, std::int32_t session, std::string_view success_code, const char* text) {
  std::string copy = copy_text(text);
  const Outcome outcome = classify_mfe_result(session, success_code, copy);
  return {name, outcome, {}, {}, std::move(copy)};
}

CallResult exact(std::string_view name, const char* text, std::string_view expected, Outcome when_equal) {
  std::string copy = copy_text(text);
  return {name, copy == expected ? when_equal : Outcome::Mismatch, {}, {}, std::move(copy)};
}

// A JSON record of the current device, or NULL when there is none; the
// caller owns the text.
CallResult json(std::string_view name, const char* text, char open, char close) {
  CallResult result{name, Outcome::ErrorText, {}, {}, copy_text(text)};
  if (text != nullptr) {
    const bool shaped = result.text.size() >= 2 && result.text.front() == open && result.text.back() == close;
    result.outcome = shaped ? Outcome::Answer : Outcome::Mismatch;
    std::free(const_cast<char*>(text));
  }
  return result;
}

const std::vector<CallKind>& call_kinds() {
  static const std::vector<CallKind> kinds{
      {"ConsultarSAT", seconds(2),
       [](const Exports& e, std::int32_t s) { return sat("ConsultarSAT", s, e.consultar_sat(s)); }},
      {"ConsultarStatusOperacional", seconds(2),
       [](const Exports& e, std::int32_t s) {
         return sat("ConsultarStatusOperacional", s, e.consultar_status_operacional(s, kActivationCode));
       }},
      {"EnviarDadosVenda", seconds(8),
       [](const Exports& e, std::int32_t s) {
         return sat("EnviarDadosVenda", s, e.enviar_dados_venda(s, kActivationCode, "<CFe><infCFe/></CFe>"));
       }},
      {"ExtrairLogs", seconds(20),
       [](const Exports& e, std::int32_t s) { return sat("ExtrairLogs", s, e.extrair_logs(s, kActivationCode)); }},
      {"TesteFimAFim", seconds(20),
       [](const Exports& e, std::int32_t s) {
         return sat("TesteFimAFim", s, e.teste_fim_a_fim(s, kActivationCode, "<CFe><infCFe/></CFe>"));
       }},
      {"ConsultarStatusOperacionalMFE", seconds(20),
       [](const Exports& e, std::int32_t s) {
         return mfe("ConsultarStatusOperacionalMFE", s, "10000", e.consultar_status_operacional_mfe(s, "status"));
       }},
      {"ConfigurarInterfaceDeRedeMFE", seconds(20),
       [](const Exports& e, std::int32_t s) {
         return mfe("ConfigurarInterfaceDeRedeMFE", s, "12000",
                    e.configurar_interface_de_rede_mfe(s, "rede", "<config/>"));
       }},
      {"InformarProducaoMFE", seconds(40),
       [](const Exports& e, std::int32_t s) {
         return mfe("InformarProducaoMFE", s, "20000", e.informar_producao_mfe(s, "a", "b", "c"));
       }},
      {"EnviarStatusAC", Clock::duration::zero(),
       [](const Exports& e, std::int32_t s) {
         return exact("EnviarStatusAC", e.enviar_status_ac(s, "ac", "1.0", "ok"), "", Outcome::Answer);
       }},
      {"NULL argument", Clock::duration::zero(),
       [](const Exports& e, std::int32_t s) {
         return exact("NULL argument", e.consultar_status_operacional(s, nullptr), kNullArgument, Outcome::ErrorText);
       }},
      {"invalid UTF-8 argument", Clock::duration::zero(),
       [](const Exports& e, std::int32_t s) {
         return exact("invalid UTF-8 argument", e.extrair_logs(s, "\xC3("), kNotUtf8, Outcome::ErrorText);
       }},
      {"VersaoLib", Clock::duration::zero(),
       [](const Exports& e, std::int32_t) {
         CallResult r{"VersaoLib", Outcome::Answer, {}, {}, copy_text(e.versao_lib())};
         if (r.text.empty()) r.outcome = Outcome::Mismatch;
         return r;
       },
       false},
      {"mfe_log_variaveis", Clock::duration::zero(),
       [](const Exports& e, std::int32_t) {
         CallResult r{"mfe_log_variaveis", Outcome::Answer, {}, {}, copy_text(e.log_variaveis())};
         if (r.text.empty()) r.outcome = Outcome::Mismatch;
         return r;
       },
       false},
      {"GetDeviceInfoAsJson", Clock::duration::zero(),
       [](const Exports& e, std::int32_t) { return json("GetDeviceInfoAsJson", e.device_info_json(), '{', '}'); },
       false},
  };
  return kinds;
}

// The device exchanges, weighted so that most calls reach a module.
std::size_t pick_kind(std::mt19937& random) {
  std::uniform_int_distribution<int> roll(0, 99);
  const int r = roll(random);
  if (r < 14) return 0;
  if (r < 26) return 1;
  if (r < 36) return 2;
  if (r < 44) return 3;
  if (r < 52) return 4;
  if (r < 64) return 5;
  if (r < 72) return 6;
  if (r < 80) return 7;
  if (r < 85) return 8;
  if (r < 88) return 9;
  if (r < 91) return 10;
  if (r < 94) return 11;
  if (r < 97) return 12;
  return 13;
}

}  // namespace

CallResult make_random_call(const Exports& exports, std::mt19937& random, unsigned callers) {
  const CallKind& kind = call_kinds()[pick_kind(random)];
  const std::int32_t session = kind.takes_session ? exports.gera_numero_sessao() : 0;
  const auto started = Clock::now();
  CallResult result = kind.call(exports, session);
  result.took = Clock::now() - started;
  result.started = started;
  result.session = session;
  result.exchange = kind.read_timeout != Clock::duration::zero();
  result.allowed = kind.read_timeout + (callers + 1) * kExchangeAllowance;
  if (kind.takes_session && (session < 1000 || session > 999999)) result.outcome = Outcome::Mismatch;
  return result;
}

}  // namespace tavik::soak
