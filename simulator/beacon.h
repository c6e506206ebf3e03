#pragma once
// The UDP announcement a networked module sends: one whole MFE frame (code
// Beacon, source Broadcast) whose body is SERIAL|MODEL|VERSION.
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <expected>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "codec/frame.h"
#include "simulator/device_config.h"
#include "simulator/platform/socket.h"
#include "simulator/request_log.h"

namespace tavik::simulator {

struct BeaconOptions {
  std::string target = "255.255.255.255";
  std::uint16_t port = 9015;
  std::chrono::milliseconds period{1000};
};

codec::Bytes beacon_frame(const DeviceConfig& config);

class BeaconSender {
 public:
  // Sends from bind_address, so receivers see the module's own address.
  static std::expected<std::unique_ptr<BeaconSender>, std::string> start(const std::string& bind_address,
                                                                          BeaconOptions options,
                                                                          codec::Bytes frame, RequestLog log);
  ~BeaconSender();
  BeaconSender(const BeaconSender&) = delete;
  BeaconSender& operator=(const BeaconSender&) = delete;
  void stop();

 private:
  BeaconSender(platform::Socket socket, BeaconOptions options, codec::Bytes frame, RequestLog log);
  void run();

  platform::Socket socket_;
  BeaconOptions options_;
  codec::Bytes frame_;
  RequestLog log_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool stopping_ = false;
  std::thread thread_;
};

}  // namespace tavik::simulator
