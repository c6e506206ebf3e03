#pragma once
// The ports and waiting times of the network transport. Fixed in the library;
// tests replace them to use ephemeral ports and short waits.
#include <chrono>
#include <cstdint>

namespace tavik::kovo_base::tcp {

struct NetworkSettings {
  std::uint16_t beacon_port = 9015;
  std::uint16_t tls_port = 9014;
  std::chrono::milliseconds beacon_receive_timeout{70'000};
  // A module on the local network answers a connect within milliseconds; the
  // system's own bound (minutes) would hold the caller and the connection
  // slot far longer than any request's waiting time.
  std::chrono::milliseconds connect_timeout{10'000};
  // Bounds every handshake, whatever the exchange's waiting time: a module
  // answers a handshake on the local network within milliseconds, and the
  // connect bound above is of the same order.
  std::chrono::milliseconds handshake_timeout{10'000};
  // A write that the module takes nothing of for this long fails, even when
  // the exchange's waiting time is longer (AtivarSAT: 30 minutes): a module
  // that reads at all takes bytes within seconds, and a stalled one must not
  // hold a 24 MB EnviarDadosVenda, the connection slot and the heartbeat
  // behind it.
  std::chrono::milliseconds write_stall_timeout{60'000};
};

NetworkSettings network_settings();

namespace testing {
// Replaces the settings until the next call; defaults restores them.
void set_network_settings(NetworkSettings settings);
}  // namespace testing

}  // namespace tavik::kovo_base::tcp
