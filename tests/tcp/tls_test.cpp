// Real TLS connections over loopback: the simulator as the genuine module,
// with the wrong certificate, as an impostor and misbehaving, a server that
// never answers the handshake, and what the client offers in its hello.
#include <array>
#include <future>
#include <thread>

#include <gtest/gtest.h>
#include <openssl/ssl.h>
#include <openssl/tls1.h>

#include "dllsat/sat_compression.h"
#include "dllsat/send_sat_command.h"
#include "kovo_base/connection/modes.h"
#include "kovo_base/tcp/open_tcp.h"
#include "kovo_base/tcp/tcp_handle.h"
#include "log_capture.h"
#include "platform/sockets.h"
#include "simulator/platform/socket.h"
#include "simulator/simulator.h"
#include "tcp_fixture.h"

namespace tavik::testing {
namespace {

using namespace std::chrono_literals;
using kovo_base::ConnectionError;
using kovo_base::IoKind;
using kovo_base::connection::Handle;
using kovo_base::connection::LinkState;

class TlsTest : public ModelsFixture {
 protected:
  void SetUp() override {
    ModelsFixture::SetUp();
    kovo_base::connection::enable_continuous_connection();
  }

  // A simulated module on an ephemeral port, named by the filter's address.
  simulator::Simulator& start_module(simulator::Fault fault = simulator::Fault::None) {
    simulator::SimulatorOptions options;
    options.tls_port = 0;
    options.beacon.reset();
    options.fault.fault = fault;
    auto started = simulator::Simulator::start(options);
    EXPECT_TRUE(started) << (started ? "" : started.error());
    module_ = std::move(*started);
    use_port(module_->tls_port());
    return *module_;
  }
  void use_port(std::uint16_t port) {
    kovo_base::tcp::testing::set_network_settings({.tls_port = port});
    kovo_base::replace_device_filter({std::nullopt, std::nullopt, "127.0.0.1", std::nullopt});
  }

  Handle open() {
    auto handle = kovo_base::tcp::open_tcp();
    EXPECT_TRUE(handle) << handle.error().debug();
    return std::move(*handle);
  }

  std::unique_ptr<simulator::Simulator> module_;
  LogCapture log_;
};

const codec::Bytes consultar_sat_frame =
    codec::sat::encode_frame({codec::SatFunction::ConsultarSAT, codec::Source::Lib, {4321, {}}}, false).value();

TEST_F(TlsTest, GenuineModuleAnswersThroughTheExchange) {
  start_module();
  kovo_base::connection::set_network_mode();
  auto first = dllsat::send_sat_command(4321, codec::SatFunction::ConsultarSAT, {});
  ASSERT_TRUE(first) << first.error().debug();
  EXPECT_EQ(*first, "004321|08000|SAT em Operação||");
  // The connection stays and passes the liveness check for the next call.
  auto second = dllsat::send_sat_command(4322, codec::SatFunction::ConsultarSAT, {});
  ASSERT_TRUE(second) << second.error().debug();
  EXPECT_EQ(*second, "004322|08000|SAT em Operação||");
  EXPECT_EQ(log_.count("New TCP stream open: Tcp(TcpHandle { info: <omitted>, ip: \"127.0.0.1:", "serial: \"NA\"",
                       "stream: TlsStream { state: Handshaking"),
            1u)
      << log_.text();
  EXPECT_EQ(log_.count("[DEBUG]", "Searching TCP device with options: DeviceFilter { device_bus: None, "
                                  "device_port: None, device_ip: Some(\"127.0.0.1\"), device_serial: None }"),
            1u);

  auto guard = kovo_base::connection::get_connection();
  ASSERT_TRUE(guard) << guard.error().debug();
  const auto* tcp = kovo_base::tcp::tcp_handle_of(guard->handle());
  ASSERT_NE(tcp, nullptr);
  EXPECT_EQ(tcp->ip(), fmt::format("127.0.0.1:{}", module_->tls_port()));
  EXPECT_EQ(tcp->serial(), "NA");
  EXPECT_EQ(tcp->info()->model, kovo_base::DeviceModel::VortaMfe);
  EXPECT_NE(guard->handle().debug().find("state: Connected, version: TLSv1.3"), std::string::npos)
      << guard->handle().debug();
}

TEST_F(TlsTest, DiscoveredModuleIsOpenedWithItsSerial) {
  const std::uint16_t beacon_port = [] {
    auto probe = platform::bind_udp({{0, 0, 0, 0}, 0});
    return platform::local_address(probe.value()).value().port;
  }();
  simulator::SimulatorOptions options;
  options.tls_port = 0;
  options.device.serial = "4567";
  options.beacon = simulator::BeaconOptions{"127.0.0.1", beacon_port, 20ms};
  auto module = simulator::Simulator::start(options);
  ASSERT_TRUE(module) << module.error();
  kovo_base::tcp::testing::set_network_settings(
      {.beacon_port = beacon_port, .tls_port = (*module)->tls_port(), .beacon_receive_timeout = 3s});
  kovo_base::replace_device_filter({std::nullopt, std::nullopt, std::nullopt, "004567"});
  Handle handle = open();
  const auto* tcp = kovo_base::tcp::tcp_handle_of(handle);
  ASSERT_NE(tcp, nullptr);
  EXPECT_EQ(tcp->serial(), "004567");
  EXPECT_EQ(tcp->info()->model, kovo_base::DeviceModel::Ombrix);  // heard last
  ASSERT_TRUE(handle.set_read_timeout(5, 0));
  EXPECT_TRUE(handle.write_all(consultar_sat_frame));
}

TEST_F(TlsTest, CertificatesWithoutTheCaKeyAreRefused) {
  struct Case {
    simulator::Fault fault;
    std::string error_text;
  };
  const Case cases[] = {
      {simulator::Fault::WrongCertificate, "invalid peer certificate: BadSignature"},
      // The impostor shows the CA certificate itself but cannot sign the
      // handshake; the text is OpenSSL's account of the failed signature.
      {simulator::Fault::Impostor, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(simulator::name_of(c.fault)));
    start_module(c.fault);
    Handle handle = open();  // nothing is exchanged before the first write
    ASSERT_TRUE(handle.set_read_timeout(5, 0));
    auto written = handle.write_all(consultar_sat_frame);
    ASSERT_FALSE(written);
    EXPECT_EQ(written.error().kind, IoKind::InvalidData);
    if (!c.error_text.empty()) {
      EXPECT_EQ(written.error().message, c.error_text);
    }
    // A session that failed for good is replaced before the next use.
    auto state = handle.check_connection();
    ASSERT_TRUE(state);
    EXPECT_EQ(*state, LinkState::Closed);
  }
}

TEST_F(TlsTest, ModuleThatSpeaksFirstOrHangsUpIsNoConnection) {
  for (const auto fault : {simulator::Fault::DataBeforeRequest, simulator::Fault::CloseAfterAccept}) {
    SCOPED_TRACE(std::string(simulator::name_of(fault)));
    start_module(fault);
    // The check right after connecting waits 10 ms; a busy machine may run
    // the simulator's first step later, so give it a few connections.
    kovo_base::Result<Handle> opened = std::unexpected(ConnectionError::protocol());
    for (int attempt = 0; attempt < 5; ++attempt) {
      opened = kovo_base::tcp::open_tcp();
      if (!opened) break;
    }
    ASSERT_FALSE(opened);
    EXPECT_EQ(opened.error(), ConnectionError::connection());
  }
  EXPECT_GE(log_.count("[TRACE]", "kovo_base::connection::handle", "Failed to connect: Tcp(TcpHandle {"), 2u);
}

// Accepts TCP connections (the kernel completes them) and never answers.
struct SilentServer {
  SilentServer() : listener(simulator::platform::listen_tcp("127.0.0.1", 0).value()) {}
  std::uint16_t port() const { return simulator::platform::local_port(listener).value(); }
  simulator::platform::Socket listener;
};

TEST_F(TlsTest, HandshakeIsBoundedByTheReadTimeout) {
  SilentServer silent;
  use_port(silent.port());
  Handle handle = open();
  ASSERT_TRUE(handle.set_read_timeout(0, 200'000'000));
  const auto start = std::chrono::steady_clock::now();
  auto written = handle.write_all(consultar_sat_frame);
  const auto waited = std::chrono::steady_clock::now() - start;
  ASSERT_FALSE(written);
  EXPECT_EQ(written.error().kind, IoKind::TimedOut);
  EXPECT_GE(waited, 150ms);
  EXPECT_LT(waited, 2s);
  // The handshake put its own bounds on the socket and took them off again.
  const auto* tcp = kovo_base::tcp::tcp_handle_of(handle);
  EXPECT_EQ(platform::receive_timeout(tcp->socket()).value(), std::optional<std::chrono::nanoseconds>(200ms));
}

TEST_F(TlsTest, ExchangeWithSilentModuleEndsAfterItsWaitingTime) {
  SilentServer silent;
  use_port(silent.port());
  kovo_base::connection::set_network_mode();
  const auto start = std::chrono::steady_clock::now();
  auto result = dllsat::send_sat_command(4321, codec::SatFunction::ConsultarSAT, {});  // waits 2 s
  const auto waited = std::chrono::steady_clock::now() - start;
  ASSERT_FALSE(result);
  EXPECT_EQ(result.error().kind(), ConnectionError::Kind::Io);
  // Ended by its waiting time: an earlier end would be some other failure
  // passing for the time-out.
  EXPECT_GE(waited, 1900ms);
  EXPECT_LT(waited, 10s);
}

TEST_F(TlsTest, LivenessCheckLeavesNoReceiveTimeout) {
  start_module();
  Handle handle = open();
  const auto* tcp = kovo_base::tcp::tcp_handle_of(handle);
  ASSERT_NE(tcp, nullptr);
  EXPECT_EQ(platform::receive_timeout(tcp->socket()).value(), std::nullopt);
  ASSERT_TRUE(handle.set_read_timeout(1, 1));
  EXPECT_GE(platform::receive_timeout(tcp->socket()).value().value_or(0ns), 1001ms);
  auto state = handle.check_connection();
  ASSERT_TRUE(state);
  EXPECT_EQ(*state, LinkState::Open);
  EXPECT_EQ(platform::receive_timeout(tcp->socket()).value(), std::nullopt);

  auto zero = handle.set_read_timeout(0, 0);
  ASSERT_FALSE(zero);
  EXPECT_EQ(zero.error().kind, IoKind::InvalidInput);
}

// The liveness check through the real socket: a plain TCP peer driven by
// hand under a handle opened to it (no TLS byte is exchanged before the check).
TEST_F(TlsTest, LivenessCheckVerdictsThroughTheSocket) {
  struct Case {
    const char* name;
    void (*peer_does)(simulator::platform::Socket&);
    LinkState verdict;
  };
  const Case cases[] = {
      {"idle", [](simulator::platform::Socket&) {}, LinkState::Open},
      {"byte pending", [](simulator::platform::Socket& peer) { ASSERT_TRUE(peer.write_all(std::vector<std::uint8_t>{0x17})); },
       LinkState::Closed},
      {"peer closed", [](simulator::platform::Socket& peer) { peer.close(); }, LinkState::Closed},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    SilentServer server;
    use_port(server.port());
    Handle handle = open();
    auto accepted = simulator::platform::accept_for(server.listener, 2000ms);
    ASSERT_TRUE(accepted && *accepted);
    c.peer_does((*accepted)->socket);
    const auto* tcp = kovo_base::tcp::tcp_handle_of(handle);
    if (c.verdict == LinkState::Closed) {
      ASSERT_TRUE(platform::wait_readable(tcp->socket(), 2s).value_or(false));  // what the peer did has arrived
    }
    auto state = handle.check_connection();
    ASSERT_TRUE(state);
    EXPECT_EQ(*state, c.verdict);
    EXPECT_EQ(platform::receive_timeout(tcp->socket()).value(), std::nullopt);
  }
}

TEST_F(TlsTest, LivenessCheckReplacesASessionHoldingUnreadInput) {
  start_module();
  Handle handle = open();
  ASSERT_TRUE(handle.set_read_timeout(2, 0));
  ASSERT_TRUE(handle.write_all(consultar_sat_frame));
  // One byte of the answer read: the rest of its record waits, decrypted, in
  // the session, where the socket shows nothing.
  std::array<std::uint8_t, 1> byte{};
  ASSERT_EQ(handle.read(byte).value_or(0), 1u);
  auto state = handle.check_connection();
  ASSERT_TRUE(state);
  EXPECT_EQ(*state, LinkState::Closed);
}

TEST_F(TlsTest, HandshakeHasAFixedBoundWhateverTheWaitingTime) {
  // A host that takes the connection and never speaks TLS: AtivarSAT waits
  // 30 minutes for its answer, but not for the handshake.
  SilentServer silent;
  kovo_base::tcp::testing::set_network_settings({.tls_port = silent.port(), .handshake_timeout = 300ms});
  kovo_base::replace_device_filter({std::nullopt, std::nullopt, "127.0.0.1", std::nullopt});
  kovo_base::connection::set_network_mode();
  const auto start = std::chrono::steady_clock::now();
  auto result = dllsat::send_sat_command(4321, codec::SatFunction::AtivarSAT, {"1", "12345678", "00000000000000", "35"});
  const auto waited = std::chrono::steady_clock::now() - start;
  ASSERT_FALSE(result);
  ASSERT_NE(result.error().io_error(), nullptr) << result.error().debug();
  EXPECT_EQ(result.error().io_error()->kind, IoKind::TimedOut);
  EXPECT_LT(waited, 20s);  // far below the 1800 s of AtivarSAT; the bound is a seam here
}

TEST_F(TlsTest, AWriteTheModuleStopsTakingTimesOutAndTheNextCallOpensAnew) {
  auto& module = start_module();
  module.set_fault({.fault = simulator::Fault::StalledReader, .count = 1});
  kovo_base::tcp::testing::set_network_settings({.tls_port = module.tls_port(), .write_stall_timeout = 300ms});
  kovo_base::connection::set_network_mode();
  dllsat::disable_sat_compression();  // the sale must fill the socket buffers, not shrink to nothing
  const std::string sale(16u << 20, 'v');
  auto stalled = dllsat::send_sat_command(4321, codec::SatFunction::EnviarDadosVenda, {"12345678", sale});
  dllsat::enable_sat_compression();
  ASSERT_FALSE(stalled);
  ASSERT_NE(stalled.error().io_error(), nullptr) << stalled.error().debug();
  EXPECT_EQ(stalled.error().io_error()->kind, IoKind::TimedOut);
  auto next = dllsat::send_sat_command(4322, codec::SatFunction::ConsultarSAT, {});
  ASSERT_TRUE(next) << next.error().debug();
  EXPECT_EQ(*next, "004322|08000|SAT em Operação||");
}

TEST_F(TlsTest, OpeningFailuresKeepTheirKinds) {
  SilentServer closed_port;  // its port, once closed, refuses connections
  const std::uint16_t port = closed_port.port();
  closed_port.listener.close();
  use_port(port);
  auto refused = kovo_base::tcp::open_tcp();
  ASSERT_FALSE(refused);
  ASSERT_NE(refused.error().io_error(), nullptr);
  EXPECT_EQ(refused.error().io_error()->kind, IoKind::ConnectionRefused);

  for (const char* bad : {"01.2.3.4", "1.2.3.4.5", " 127.0.0.1"}) {
    kovo_base::replace_device_filter({std::nullopt, std::nullopt, bad, std::nullopt});
    auto parsed = kovo_base::tcp::open_tcp();
    ASSERT_FALSE(parsed) << bad;
    EXPECT_EQ(parsed.error().kind(), ConnectionError::Kind::IpParse) << bad;
    EXPECT_EQ(parsed.error().display(), "invalid IPv4 address syntax");
  }

  kovo_base::tcp::testing::clear_tcp_models();
  auto none = kovo_base::tcp::open_tcp();
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error(), ConnectionError::device_not_found());
  EXPECT_EQ(log_.count("[DEBUG]", "No TCP device found"), 1u);
}

// What one ClientHello offered, seen by a server that then aborts.
struct OfferedHello {
  std::vector<std::uint16_t> suites;
  bool server_name = false;
  std::vector<std::uint8_t> groups;
  std::vector<std::uint8_t> signature_algorithms;
  std::vector<std::uint8_t> versions;
};

int capture_hello(SSL* ssl, int* alert, void* arg) {
  auto& hello = *static_cast<OfferedHello*>(arg);
  const unsigned char* data = nullptr;
  const std::size_t count = SSL_client_hello_get0_ciphers(ssl, &data);
  for (std::size_t i = 0; i + 1 < count; i += 2) hello.suites.push_back(std::uint16_t(data[i] << 8 | data[i + 1]));
  std::size_t length = 0;
  hello.server_name = SSL_client_hello_get0_ext(ssl, TLSEXT_TYPE_server_name, &data, &length) == 1;
  if (SSL_client_hello_get0_ext(ssl, TLSEXT_TYPE_supported_groups, &data, &length) == 1) {
    hello.groups.assign(data + 2, data + length);  // after the list's own length
  }
  if (SSL_client_hello_get0_ext(ssl, TLSEXT_TYPE_signature_algorithms, &data, &length) == 1) {
    hello.signature_algorithms.assign(data + 2, data + length);
  }
  if (SSL_client_hello_get0_ext(ssl, TLSEXT_TYPE_supported_versions, &data, &length) == 1) {
    hello.versions.assign(data + 1, data + length);  // after its one-byte length
  }
  *alert = SSL_AD_HANDSHAKE_FAILURE;
  return SSL_CLIENT_HELLO_ERROR;
}

TEST_F(TlsTest, ClientHelloOffersTheModuleParameters) {
  SilentServer server;
  use_port(server.port());
  OfferedHello hello;
  auto serving = std::async(std::launch::async, [&] {
    auto accepted = simulator::platform::accept_for(server.listener, 5s).value();
    if (!accepted) return;
    SSL_CTX* context = SSL_CTX_new(TLS_server_method());
    SSL_CTX_set_client_hello_cb(context, capture_hello, &hello);
    SSL* session = SSL_new(context);
    SSL_set_fd(session, accepted->socket.native());
    SSL_accept(session);
    SSL_free(session);
    SSL_CTX_free(context);
  });
  Handle handle = open();
  ASSERT_TRUE(handle.set_read_timeout(5, 0));
  EXPECT_FALSE(handle.write_all(consultar_sat_frame));
  serving.get();

  std::erase(hello.suites, std::uint16_t(0x00FF));  // the renegotiation signalling value
  EXPECT_EQ(hello.suites, (std::vector<std::uint16_t>{0x1302, 0x1301, 0x1303, 0xC02C, 0xC02B, 0xCCA9, 0xC030, 0xC02F,
                                                      0xCCA8}));
  EXPECT_FALSE(hello.server_name);
  EXPECT_EQ(hello.groups, (std::vector<std::uint8_t>{0x00, 0x1D, 0x00, 0x17, 0x00, 0x18}));
  std::vector<std::uint16_t> schemes;
  for (std::size_t i = 0; i + 1 < hello.signature_algorithms.size(); i += 2) {
    schemes.push_back(std::uint16_t(hello.signature_algorithms[i] << 8 | hello.signature_algorithms[i + 1]));
  }
  // All thirteen the verifier declares, the SHA-1 ones included, in its order.
  EXPECT_EQ(schemes, (std::vector<std::uint16_t>{0x0201, 0x0203, 0x0401, 0x0403, 0x0501, 0x0503, 0x0601, 0x0603,
                                                 0x0804, 0x0805, 0x0806, 0x0807, 0x0808}));
  // Offering them widened nothing else: TLS 1.3 and 1.2 only.
  EXPECT_EQ(hello.versions, (std::vector<std::uint8_t>{0x03, 0x04, 0x03, 0x03}));
}

}  // namespace
}  // namespace tavik::testing
