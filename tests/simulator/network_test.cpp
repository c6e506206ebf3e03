// The simulator on loopback: beacons, the TLS service and its certificate
// faults, and several simulators side by side.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "simulator/simulator.h"
#include "test_device.h"
#include "tls_test_client.h"
#include "wire_test_helpers.h"

namespace tavik::simulator::testing {
namespace {

using std::chrono::milliseconds;

std::string dev_ca_pem() {
  std::ifstream file(default_cert_dir() + "/ca-cert.pem", std::ios::binary);
  std::stringstream text;
  text << file.rdbuf();
  return text.str();
}

struct Listener {
  platform::Socket socket;
  std::uint16_t port;
};

Listener udp_listener() {
  auto socket = platform::open_udp("127.0.0.1", 0, false);
  EXPECT_TRUE(socket) << socket.error();
  const auto port = platform::local_port(*socket);
  return {std::move(*socket), *port};
}

SimulatorOptions options_on(const std::string& address, std::optional<std::uint16_t> beacon_port = {}) {
  SimulatorOptions options;
  options.device = activated_config();
  options.address = address;
  options.tls_port = 0;
  options.beacon.reset();
  if (beacon_port) options.beacon = BeaconOptions{"127.0.0.1", *beacon_port, milliseconds(20)};
  return options;
}

TEST(Beacons, DecodeIntoTheSerialNumber) {
  auto listener = udp_listener();
  auto options = options_on("127.0.0.1", listener.port);
  options.serve_tls = false;
  options.device.serial = "123";
  auto simulator = Simulator::start(options);
  ASSERT_TRUE(simulator) << simulator.error();
  const auto datagram = platform::receive_for(listener.socket, milliseconds(2000));
  ASSERT_TRUE(datagram && *datagram);
  EXPECT_LE((*datagram)->bytes.size(), 256u);  // what the library's receive buffer holds
  EXPECT_EQ((*datagram)->sender, "127.0.0.1");
  const auto frame = read_frame((*datagram)->bytes);
  ASSERT_TRUE(frame.mfe);
  EXPECT_EQ(frame.mfe->code, codec::MfeMessageType::Beacon);
  EXPECT_EQ(frame.mfe->source, codec::Source::Broadcast);
  EXPECT_EQ(codec::body_text(frame.mfe->fields), "000123|VortaMfe|1.0.0");
}

TEST(TlsService, AnswersARequestFromAVerifyingClient) {
  auto simulator = Simulator::start(options_on("127.0.0.1"));
  ASSERT_TRUE(simulator) << simulator.error();
  for (const auto verification : {Verification::Chain, Verification::CaSignatureWithPresentedKey}) {
    auto client = TlsTestClient::connect("127.0.0.1", (*simulator)->tls_port(), dev_ca_pem(), verification);
    ASSERT_TRUE(client) << client.error();
    ASSERT_TRUE(client->write(sat_request(codec::SatFunction::ConsultarSAT, 4321 + int(verification), {}, true)));
    const auto answer = client->read_sat_frame();
    ASSERT_TRUE(answer) << answer.error();
    EXPECT_EQ(answer->fields.num_session, 4321 + int(verification));
    EXPECT_EQ(answer->fields.contents.at(1), "SAT em Operação");
  }
}

TEST(TlsService, ImpostorHandshakeFailsForAVerifyingClient) {
  auto options = options_on("127.0.0.1");
  options.fault.fault = Fault::Impostor;
  auto simulator = Simulator::start(options);
  ASSERT_TRUE(simulator) << simulator.error();
  const auto client =
      TlsTestClient::connect("127.0.0.1", (*simulator)->tls_port(), dev_ca_pem(), Verification::Chain);
  ASSERT_FALSE(client);
  // The certificate itself verifies; the handshake signature does not.
  const std::string& error = client.error();
  EXPECT_TRUE(error.find("signature") != std::string::npos || error.find("rsa routines") != std::string::npos)
      << error;
}

TEST(TlsService, CertificateForAnotherKeyFailsTheLibrarysCheck) {
  auto options = options_on("127.0.0.1");
  options.fault = {.fault = Fault::WrongCertificate, .count = 1};
  auto simulator = Simulator::start(options);
  ASSERT_TRUE(simulator) << simulator.error();
  const auto port = (*simulator)->tls_port();
  EXPECT_FALSE(TlsTestClient::connect("127.0.0.1", port, dev_ca_pem(), Verification::CaSignatureWithPresentedKey));
  // The fault acted once; the next connection is genuine again.
  EXPECT_TRUE(TlsTestClient::connect("127.0.0.1", port, dev_ca_pem(), Verification::CaSignatureWithPresentedKey));
}

TEST(TlsService, CloseAfterAcceptEndsTheConnectionBeforeAnyByte) {
  auto options = options_on("127.0.0.1");
  options.fault.fault = Fault::CloseAfterAccept;
  auto simulator = Simulator::start(options);
  ASSERT_TRUE(simulator) << simulator.error();
  auto socket = platform::connect_tcp("127.0.0.1", (*simulator)->tls_port());
  ASSERT_TRUE(socket);
  socket->set_receive_timeout(milliseconds(2000));
  std::uint8_t byte = 0;
  const auto n = socket->read_some({&byte, 1});
  ASSERT_TRUE(n) << n.error();
  EXPECT_EQ(*n, 0u);
}

TEST(SeveralSimulators, RunOnTheirOwnLoopbackAddressesWithTheirOwnSerials) {
  auto listener = udp_listener();
  std::vector<std::unique_ptr<Simulator>> simulators;
  for (const auto& [address, serial] : {std::pair{"127.0.0.2", "200002"}, std::pair{"127.0.0.3", "300003"}}) {
    auto options = options_on(address, listener.port);
    options.device.serial = serial;
    auto simulator = Simulator::start(options);
    ASSERT_TRUE(simulator) << simulator.error();
    simulators.push_back(std::move(*simulator));
  }
  std::map<std::string, std::string> serial_by_sender;
  for (int i = 0; i < 50 && serial_by_sender.size() < 2; ++i) {
    const auto datagram = platform::receive_for(listener.socket, milliseconds(1000));
    ASSERT_TRUE(datagram && *datagram);
    const auto frame = read_frame((*datagram)->bytes);
    ASSERT_TRUE(frame.mfe);
    serial_by_sender[(*datagram)->sender] = codec::format_session_number(*frame.mfe->fields.num_session);
  }
  EXPECT_EQ(serial_by_sender, (std::map<std::string, std::string>{{"127.0.0.2", "200002"}, {"127.0.0.3", "300003"}}));
  for (const auto& simulator : simulators) {
    auto client = TlsTestClient::connect(simulator->address(), simulator->tls_port(), dev_ca_pem(),
                                         Verification::CaSignatureWithPresentedKey);
    ASSERT_TRUE(client) << client.error();
    ASSERT_TRUE(client->write(sat_request(codec::SatFunction::ConsultarStatusOperacional, 7, {kCode})));
    const auto answer = client->read_sat_frame();
    ASSERT_TRUE(answer) << answer.error();
    EXPECT_EQ(answer->fields.contents.at(4), "000" + simulator->module().config().serial);
  }
}

}  // namespace
}  // namespace tavik::simulator::testing
