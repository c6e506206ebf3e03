#pragma once
// One simulated networked fiscal module: the device state, its TLS service
// and its beacons. Several can run at once on different addresses.
#include <cstdint>
#include <expected>
#include <memory>
#include <optional>
#include <string>

#include "simulator/beacon.h"
#include "simulator/byte_pipe.h"
#include "simulator/cert_dir.h"
#include "simulator/device_config.h"
#include "simulator/faults.h"
#include "simulator/fiscal_module.h"
#include "simulator/tls_server.h"

namespace tavik::simulator {

struct SimulatorOptions {
  DeviceConfig device;
  std::string address = "127.0.0.1";
  std::uint16_t tls_port = 9014;  // 0: ephemeral
  bool serve_tls = true;
  std::optional<BeaconOptions> beacon = BeaconOptions{};
  std::string cert_dir = default_cert_dir();
  FaultPlan fault;
  RequestLog log;
};

class Simulator {
 public:
  static std::expected<std::unique_ptr<Simulator>, std::string> start(SimulatorOptions options);
  ~Simulator();
  Simulator(const Simulator&) = delete;
  Simulator& operator=(const Simulator&) = delete;

  std::uint16_t tls_port() const;
  const std::string& address() const { return address_; }
  FiscalModule& module() { return module_; }
  void set_fault(FaultPlan plan) { faults_.set(std::move(plan)); }
  // A new connection through a byte pipe (for a USB test double).
  std::unique_ptr<BytePipe> open_pipe(const std::string& peer = "pipe");
  void stop();

 private:
  explicit Simulator(SimulatorOptions options);
  std::unique_ptr<DeviceSession> new_session(const std::string& peer);

  std::string address_;
  RequestLog log_;
  FiscalModule module_;
  FaultSwitch faults_;
  std::unique_ptr<TlsServer> server_;
  std::unique_ptr<BeaconSender> beacons_;
};

}  // namespace tavik::simulator
