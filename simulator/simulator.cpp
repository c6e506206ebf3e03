#include "simulator/simulator.h"

#include <fmt/format.h>

#include "simulator/text_utils.h"

namespace tavik::simulator {

namespace {
// Every line names the simulated module it comes from, so several can share
// one output.
RequestLog tagged(const std::string& address, RequestLog log) {
  if (!log) return log;
  return [address, log = std::move(log)](std::string_view line) { log(fmt::format("[{}] {}", address, line)); };
}
}  // namespace

Simulator::Simulator(SimulatorOptions options)
    : address_(options.address), log_(tagged(options.address, options.log)), module_(std::move(options.device)) {
  faults_.set(options.fault);
}

std::expected<std::unique_ptr<Simulator>, std::string> Simulator::start(SimulatorOptions options) {
  const std::string& serial = options.device.serial;
  if (!all_digits(serial) || serial.size() > 9) {
    return std::unexpected(fmt::format("serial must be 1 to 9 decimal digits: {}", serial));
  }
  std::unique_ptr<Simulator> simulator(new Simulator(options));
  if (options.serve_tls) {
    auto contexts = TlsContexts::load(options.cert_dir);
    if (!contexts) return std::unexpected(contexts.error());
    auto server = TlsServer::start(
        options.address, options.tls_port, std::move(*contexts), simulator->faults_,
        [raw = simulator.get()](const std::string& peer) { return raw->new_session(peer); }, simulator->log_);
    if (!server) return std::unexpected(server.error());
    simulator->server_ = std::move(*server);
  }
  if (options.beacon) {
    auto beacons = BeaconSender::start(options.address, *options.beacon, beacon_frame(simulator->module_.config()),
                                       simulator->log_);
    if (!beacons) return std::unexpected(beacons.error());
    simulator->beacons_ = std::move(*beacons);
  }
  return simulator;
}

Simulator::~Simulator() { stop(); }

void Simulator::stop() {
  if (beacons_) beacons_->stop();
  if (server_) server_->stop();
}

std::uint16_t Simulator::tls_port() const { return server_ ? server_->port() : 0; }

std::unique_ptr<DeviceSession> Simulator::new_session(const std::string& peer) {
  return std::make_unique<DeviceSession>(module_, faults_, log_, peer);
}

std::unique_ptr<BytePipe> Simulator::open_pipe(const std::string& peer) {
  return std::make_unique<BytePipe>(new_session(peer));
}

}  // namespace tavik::simulator
