#include "usb_double/simulator_link.h"

#include <stdexcept>

namespace tavik::usb_double {
namespace {

class PipeLink final : public BulkLink {
 public:
  explicit PipeLink(std::unique_ptr<simulator::BytePipe> pipe) : pipe_(std::move(pipe)) {}

  void write(std::span<const std::uint8_t> bytes) override { pipe_->write(bytes); }

  std::expected<Bytes, End> read(std::size_t max_bytes, std::chrono::milliseconds timeout) override {
    auto got = pipe_->read(max_bytes, timeout);
    if (got) return std::move(*got);
    return std::unexpected(got.error() == simulator::PipeEnd::Closed ? End::Closed : End::TimedOut);
  }

 private:
  std::unique_ptr<simulator::BytePipe> pipe_;
};

}  // namespace

std::shared_ptr<BulkLink> simulator_link(simulator::Simulator& simulator) {
  return std::make_shared<PipeLink>(simulator.open_pipe("usb"));
}

std::unique_ptr<simulator::Simulator> start_usb_module(simulator::DeviceConfig config) {
  simulator::SimulatorOptions options;
  options.device = std::move(config);
  options.serve_tls = false;
  options.beacon = std::nullopt;
  auto started = simulator::Simulator::start(std::move(options));
  if (!started) throw std::runtime_error("simulator did not start: " + started.error());
  return std::move(*started);
}

}  // namespace tavik::usb_double
