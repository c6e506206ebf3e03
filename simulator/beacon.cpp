#include "simulator/beacon.h"

#include <fmt/format.h>

namespace tavik::simulator {

codec::Bytes beacon_frame(const DeviceConfig& config) {
  // The serial travels as the body's leading number (at least six digits).
  const auto serial = std::int32_t(std::strtol(config.serial.c_str(), nullptr, 10));
  const codec::MfeBody body{codec::MfeMessageType::Beacon, codec::Source::Broadcast,
                            {serial, {config.model, config.version}}};
  return codec::mfe::encode_frame(body, config.compression == CompressionMode::Compressed).value_or(codec::Bytes{});
}

std::expected<std::unique_ptr<BeaconSender>, std::string> BeaconSender::start(const std::string& bind_address,
                                                                              BeaconOptions options,
                                                                              codec::Bytes frame, RequestLog log) {
  auto socket = platform::open_udp(bind_address, 0, true);
  if (!socket) return std::unexpected(socket.error());
  std::unique_ptr<BeaconSender> sender(
      new BeaconSender(std::move(*socket), std::move(options), std::move(frame), std::move(log)));
  sender->thread_ = std::thread([raw = sender.get()] { raw->run(); });
  return sender;
}

BeaconSender::BeaconSender(platform::Socket socket, BeaconOptions options, codec::Bytes frame, RequestLog log)
    : socket_(std::move(socket)), options_(std::move(options)), frame_(std::move(frame)), log_(std::move(log)) {}

BeaconSender::~BeaconSender() { stop(); }

void BeaconSender::stop() {
  {
    std::lock_guard lock(mutex_);
    stopping_ = true;
  }
  wake_.notify_all();
  if (thread_.joinable()) thread_.join();
}

void BeaconSender::run() {
  bool reported = false;  // a failing target is reported once, not every period
  std::unique_lock lock(mutex_);
  while (!stopping_) {
    const auto sent = platform::send_to(socket_, options_.target, options_.port, frame_);
    if (!sent && !reported && log_) log_(fmt::format("beacon not sent: {}", sent.error()));
    reported = reported || !sent;
    wake_.wait_for(lock, options_.period, [this] { return stopping_; });
  }
}

}  // namespace tavik::simulator
