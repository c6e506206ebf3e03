#pragma once
// Beacons in a known order. Modules that beacon on their own make the order
// in which the library hears them a matter of chance; this script waits until
// the library opens its beacon socket (seen in /proc/net/udp), then sends its
// datagrams one after the other, once for every socket the library opens.
#include <atomic>
#include <cstddef>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "codec/frame.h"

namespace tavik::e2e {

struct ScriptedDatagram {
  std::string from;  // the sender's address, which the library records
  codec::Bytes bytes;
};

// A module's beacon: an MFE Beacon frame whose body begins with the serial.
codec::Bytes beacon_bytes(std::int32_t serial);

class BeaconScript {
 public:
  explicit BeaconScript(std::vector<ScriptedDatagram> datagrams);
  ~BeaconScript();
  BeaconScript(const BeaconScript&) = delete;
  BeaconScript& operator=(const BeaconScript&) = delete;

  // How many listening sockets of the library got the script so far.
  std::size_t served() const { return served_.load(); }

 private:
  void run();

  std::vector<ScriptedDatagram> datagrams_;
  std::atomic<bool> stopping_{false};
  std::atomic<std::size_t> served_{0};
  std::thread thread_;
};

// The inode of the socket bound to UDP port 9015 in this network namespace.
std::optional<unsigned long> beacon_socket_inode();

}  // namespace tavik::e2e
