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
  // Bounds a handshake that starts before any read time-out was set.
  std::chrono::milliseconds default_handshake_timeout{20'000};
};

NetworkSettings network_settings();

namespace testing {
// Replaces the settings until the next call; defaults restores them.
void set_network_settings(NetworkSettings settings);
}  // namespace testing

}  // namespace tavik::kovo_base::tcp
