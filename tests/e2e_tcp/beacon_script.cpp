#include "e2e_tcp/beacon_script.h"

#include <chrono>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "simulator/platform/socket.h"

namespace tavik::e2e {

codec::Bytes beacon_bytes(std::int32_t serial) {
  const codec::MfeBody body{codec::MfeMessageType::Beacon, codec::Source::Broadcast, {serial, {"VortaMfe", "1.0.0"}}};
  return codec::mfe::encode_frame(body, false).value_or(codec::Bytes{});
}

std::optional<unsigned long> beacon_socket_inode() {
  // Lines: "sl local_address rem_address st tx_queue:rx_queue tr:tm->when retrnsmt uid timeout inode ..."
  std::ifstream table("/proc/net/udp");
  std::string line;
  std::getline(table, line);  // the column names
  while (std::getline(table, line)) {
    std::istringstream fields(line);
    std::string slot, local, remote, state, queues, timer, retransmits, uid, timeout;
    unsigned long inode = 0;
    if (!(fields >> slot >> local >> remote >> state >> queues >> timer >> retransmits >> uid >> timeout >> inode)) {
      continue;
    }
    if (local.ends_with(":2337")) return inode;  // port 9015
  }
  return std::nullopt;
}

BeaconScript::BeaconScript(std::vector<ScriptedDatagram> datagrams)
    : datagrams_(std::move(datagrams)), thread_([this] { run(); }) {}

BeaconScript::~BeaconScript() {
  stopping_ = true;
  thread_.join();
}

void BeaconScript::run() {
  std::vector<simulator::platform::Socket> senders;
  for (const auto& datagram : datagrams_) {
    auto socket = simulator::platform::open_udp(datagram.from, 0, false);
    if (!socket) {
      ADD_FAILURE() << "cannot send from " << datagram.from << ": " << socket.error();
      return;
    }
    senders.push_back(std::move(*socket));
  }
  std::optional<unsigned long> served_inode;
  while (!stopping_) {
    const auto inode = beacon_socket_inode();
    if (!inode || inode == served_inode) {
      std::this_thread::sleep_for(std::chrono::milliseconds(2));
      continue;
    }
    // Datagrams sent on loopback arrive in order, queued at the library's socket.
    for (std::size_t i = 0; i < datagrams_.size(); ++i) {
      auto sent = simulator::platform::send_to(senders[i], "127.0.0.1", 9015, datagrams_[i].bytes);
      if (!sent) ADD_FAILURE() << "beacon from " << datagrams_[i].from << " not sent: " << sent.error();
    }
    served_inode = inode;
    ++served_;
  }
}

}  // namespace tavik::e2e
