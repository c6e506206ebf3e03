#pragma once
// How one simulated fiscal module is set up: identity, initial state and the
// choices a real device leaves open.
#include <chrono>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tavik::simulator {

enum class CompressionMode : std::uint8_t {
  Plain,       // answers always as octet-stream
  Compressed,  // answers always as z-compressed
  Mirror,      // answers as the request came
};

using Clock = std::function<std::chrono::system_clock::time_point()>;

struct DeviceConfig {
  std::string serial = "900000123";  // decimal digits, at most nine
  std::string model = "VortaMfe";
  std::string version = "1.0.0";
  std::uint64_t heartbeat_interval_seconds = 30;
  CompressionMode compression = CompressionMode::Mirror;

  // Set: the device starts activated with this code and taxpayer_cnpj.
  std::optional<std::string> activation_code;
  std::string taxpayer_cnpj = "11222333000181";
  int uf = 35;
  // Set: the device starts associated with this signAC value.
  std::optional<std::string> ac_signature;
  std::string software_house_cnpj = "16716114000172";
  std::string emergency_code = "87654321";

  std::size_t session_depth = 1;       // sessions ConsultarNumeroSessao can reach, 1..100
  bool refuse_reused_sessions = true;  // xx097 for a number among the last 100
  unsigned block_after_wrong_codes = 0;  // 0: never block for wrong codes
  bool drop_cccc_on_failure = false;   // five-field failures for 06, 07, 13
  // AtivarSAT and AtualizarSoftwareSAT take this long; others meanwhile get xx098.
  std::chrono::milliseconds long_command_duration{0};

  Clock clock;                  // empty: the system clock
  std::uint32_t random_seed = 0;  // 0: seeded from the system
};

}  // namespace tavik::simulator
