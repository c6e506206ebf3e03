#pragma once
// The two process-wide connection modes.
namespace tavik::kovo_base::connection {

// True: the connection stays open between requests. False: every release of
// a guard closes it. True until the settings are applied at load.
bool continuous_mode();
// Behind HabilitarConexaoContinua / DesabilitarConexaoContinua. Neither
// touches a held connection.
void enable_continuous_connection();
void disable_continuous_connection();

// True: connections are opened over TCP, false (at load): over USB. Only the
// heartbeat start changes it, and only to true.
bool network_mode();
void set_network_mode();

}  // namespace tavik::kovo_base::connection
