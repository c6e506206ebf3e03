#pragma once
// The simulated fiscal module: the SAT state machine and the MFE messages,
// working on decoded Body records only (no bytes, no sockets). One instance
// is one device; every connection to it shares its state.
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "codec/frame.h"
#include "simulator/device_config.h"

namespace tavik::simulator {

struct AnswerOptions {
  std::size_t huge_log_bytes = 0;  // pad ExtrairLogs' log to at least this size
};

struct SatAnswer {
  codec::SatFields fields;
  std::chrono::milliseconds takes{0};  // how long the device works on it
};

// ESTADO_OPERACAO of the status table.
enum class BlockState : int {
  Unblocked = 0,
  BySefaz = 1,
  ByTaxpayer = 2,
  Autonomous = 3,
  ForDeactivation = 4,
};

struct NetworkSettings {
  std::string interface_type = "ETHE";
  std::string lan_type = "DHCP";
  std::string ip = "010.000.000.108";
  std::string mask = "255.255.255.000";
  std::string gateway = "010.000.000.001";
  std::string dns1 = "010.000.000.001";
  std::string dns2 = "010.000.000.001";
};

struct LastSale {
  std::string key;  // 44 digits
  std::string total;
  std::string consumer;
  std::string emitted_at;  // AAAAMMDDHHMMSS
  bool cancelled = false;
};

// What tests look at after a call.
struct DeviceSnapshot {
  bool activated = false;
  std::string activation_code;
  BlockState block_state = BlockState::Unblocked;
  std::uint32_t next_ncfe = 1;
  std::optional<LastSale> last_sale;
  NetworkSettings network;
};

class FiscalModule {
 public:
  explicit FiscalModule(DeviceConfig config);

  SatAnswer answer(const codec::SatBody& request, const AnswerOptions& options = {});
  codec::MfeFields answer(const codec::MfeBody& request);

  const DeviceConfig& config() const { return config_; }
  std::string nserie() const;  // the serial as nine digits
  DeviceSnapshot snapshot() const;
  // Test hook: the block states that only SEFAZ or the device itself set.
  void set_block_state(BlockState state);

 private:
  struct Call {
    std::int32_t session;
    codec::SatFunction function;
    const std::vector<std::string>& args;
    std::chrono::system_clock::time_point now;
    const AnswerOptions& options;
    std::string arg(std::size_t i) const { return i < args.size() ? args[i] : std::string(); }
  };
  struct StoredSession {
    std::int32_t session;
    codec::SatFields answer;
    bool retrievable;
  };

  codec::SatFields dispatch(const Call& call);
  codec::SatFields reply(const Call& call, int outcome, std::string_view text,
                         std::vector<std::string> extra = {}) const;
  codec::SatFields fail(const Call& call, int outcome, std::string_view text) const;
  // Checks the activation code; counts wrong ones and may block the device.
  bool code_accepted(std::string_view given);
  // The code a not-yet-activated device accepts for status and network calls.
  bool code_or_factory_accepted(std::string_view given);
  void remember(const Call& call, const codec::SatFields& answer);
  void log_record(const Call& call, std::string_view origin, std::string_view level, std::string text);
  std::chrono::system_clock::time_point now() const;
  std::string random_digits(int count);
  std::string random_bytes(std::size_t count);
  std::vector<std::string> status_fields(std::chrono::system_clock::time_point now) const;

  codec::SatFields ativar_sat(const Call& call);
  codec::SatFields comunicar_certificado(const Call& call);
  codec::SatFields trocar_codigo(const Call& call);
  codec::SatFields enviar_dados_venda(const Call& call);
  codec::SatFields cancelar_ultima_venda(const Call& call);
  codec::SatFields teste_fim_a_fim(const Call& call);
  codec::SatFields consultar_sat(const Call& call);
  codec::SatFields consultar_status(const Call& call);
  codec::SatFields consultar_numero_sessao(const Call& call);
  codec::SatFields consultar_ultima_sessao_fiscal(const Call& call);
  codec::SatFields configurar_rede(const Call& call);
  codec::SatFields associar_assinatura(const Call& call);
  codec::SatFields atualizar_software(const Call& call);
  codec::SatFields extrair_logs(const Call& call);
  codec::SatFields bloquear(const Call& call);
  codec::SatFields desbloquear(const Call& call);

  const DeviceConfig config_;
  mutable std::mutex mutex_;
  std::mt19937 random_;

  bool activated_ = false;
  bool icp_pending_ = false;  // AtivarSAT 04006 done, certificate not yet sent
  std::string activation_code_;
  std::string taxpayer_cnpj_;
  int uf_ = 35;
  BlockState block_state_ = BlockState::Unblocked;
  bool blocked_for_wrong_codes_ = false;
  unsigned wrong_code_count_ = 0;
  std::optional<std::string> ac_signature_;
  NetworkSettings network_;
  std::uint32_t next_ncfe_ = 1;
  std::string last_cfe_key_;
  std::optional<LastSale> last_sale_;
  std::optional<codec::SatFields> last_fiscal_answer_;
  std::deque<StoredSession> session_answers_;
  std::deque<std::int32_t> recent_sessions_;
  std::string last_transmission_;
  std::string last_sefaz_contact_;
  std::chrono::system_clock::time_point busy_until_{};
  std::deque<std::string> log_;
};

}  // namespace tavik::simulator
