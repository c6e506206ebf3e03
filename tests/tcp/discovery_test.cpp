// Discovery over real UDP on loopback: the simulator's beacons, hand-made
// datagrams, silence and a port that is already taken.
#include <future>
#include <thread>

#include <gtest/gtest.h>

#include "kovo_base/tcp/discovery.h"
#include "log_capture.h"
#include "platform/sockets.h"
#include "simulator/platform/socket.h"
#include "simulator/simulator.h"
#include "tcp_fixture.h"

namespace tavik::testing {
namespace {

using namespace std::chrono_literals;
using kovo_base::DeviceModel;

std::uint16_t free_udp_port() {
  auto socket = platform::bind_udp({{0, 0, 0, 0}, 0});
  return platform::local_address(socket.value()).value().port;
}

// Waits until someone listens on the port: binding it then fails.
void wait_until_bound(std::uint16_t port) {
  for (int tries = 0; tries < 500; ++tries) {
    if (!platform::bind_udp({{0, 0, 0, 0}, port})) return;
    std::this_thread::sleep_for(2ms);
  }
  FAIL() << "nobody bound port " << port;
}

void send_datagram(std::uint16_t port, const codec::Bytes& bytes) {
  auto sender = simulator::platform::open_udp("127.0.0.1", 0, false);
  ASSERT_TRUE(sender) << sender.error();
  ASSERT_TRUE(simulator::platform::send_to(*sender, "127.0.0.1", port, bytes));
}

class DiscoveryTest : public ModelsFixture {
 protected:
  void SetUp() override {
    ModelsFixture::SetUp();
    port_ = free_udp_port();
    kovo_base::tcp::testing::set_network_settings({.beacon_port = port_, .beacon_receive_timeout = 3s});
  }
  std::uint16_t port_ = 0;
  LogCapture log_;
};

TEST_F(DiscoveryTest, OneBeaconPerModelFromTheSimulator) {
  simulator::SimulatorOptions options;
  options.device.serial = "123";
  options.serve_tls = false;
  options.beacon = simulator::BeaconOptions{"127.0.0.1", port_, 20ms};
  auto module = simulator::Simulator::start(options);
  ASSERT_TRUE(module) << module.error();

  auto found = kovo_base::tcp::discover_tcp_devices();
  ASSERT_TRUE(found) << found.error().debug();
  ASSERT_EQ(found->size(), 2u);
  // The same module heard twice is listed twice, once per model.
  EXPECT_EQ((*found)[0].ip, "127.0.0.1");
  EXPECT_EQ((*found)[0].serial, "000123");
  EXPECT_EQ((*found)[0].info->model, DeviceModel::VortaMfe);
  EXPECT_EQ((*found)[1].ip, "127.0.0.1");
  EXPECT_EQ((*found)[1].serial, "000123");
  EXPECT_EQ((*found)[1].info->model, DeviceModel::Ombrix);
  EXPECT_EQ(log_.count("[DEBUG]", "kovo_base::connection::tcp", "Broad cast received from 127.0.0.1"), 2u);
  EXPECT_EQ(log_.count("[DEBUG]", "kovo_base::connection::tcp",
                       "All available devices list [Opener { info: <omitted>, ip: \"127.0.0.1\", serial: \"000123\" }, "
                       "Opener { info: <omitted>, ip: \"127.0.0.1\", serial: \"000123\" }]"),
            1u)
      << log_.text();
}

TEST_F(DiscoveryTest, SilenceGivesAnEmptyListAfterOneWaitPerModel) {
  kovo_base::tcp::testing::set_network_settings({.beacon_port = port_, .beacon_receive_timeout = 100ms});
  const auto start = std::chrono::steady_clock::now();
  auto found = kovo_base::tcp::discover_tcp_devices();
  const auto waited = std::chrono::steady_clock::now() - start;
  ASSERT_TRUE(found) << found.error().debug();
  EXPECT_TRUE(found->empty());
  EXPECT_GE(waited, 200ms);
  EXPECT_EQ(log_.count("All available devices list []"), 1u);
}

TEST_F(DiscoveryTest, DatagramsThatAreNoBeaconUseUpTheirTurn) {
  auto discovery = std::async(std::launch::async, [] { return kovo_base::tcp::discover_tcp_devices(); });
  wait_until_bound(port_);
  const std::string long_model(300, 'M');
  send_datagram(port_, mfe_frame("000555|" + long_model + "|1.0.0"));  // longer than 256 bytes
  codec::Bytes wrong_crc = mfe_frame("000666|VortaMfe|1.0.0");
  wrong_crc.back() ^= 0x01;
  send_datagram(port_, wrong_crc);
  send_datagram(port_, mfe_frame("000777|VortaMfe|1.0.0"));  // a third datagram is never read
  auto found = discovery.get();
  ASSERT_TRUE(found) << found.error().debug();
  EXPECT_TRUE(found->empty());
  // The oversized datagram counts as a failed receive: no sender line for it.
  EXPECT_EQ(log_.count("Broad cast received from 127.0.0.1"), 1u) << log_.text();
  EXPECT_EQ(log_.count("[ERROR]", "Failed to parse body: Crc16 (Crc16)"), 1u) << log_.text();
}

TEST_F(DiscoveryTest, TakenPortFailsWithIo) {
  auto holder = platform::bind_udp({{0, 0, 0, 0}, port_});
  ASSERT_TRUE(holder);
  auto found = kovo_base::tcp::discover_tcp_devices();
  ASSERT_FALSE(found);
  EXPECT_EQ(found.error().kind(), kovo_base::ConnectionError::Kind::Io);
  ASSERT_NE(found.error().io_error(), nullptr);
  EXPECT_EQ(found.error().io_error()->kind, kovo_base::IoKind::AddrInUse);
  EXPECT_EQ(log_.count("[WARN]", "Failed to listen to UDP broadcast: ", "(Io(Os {"), 1u) << log_.text();
}

TEST_F(DiscoveryTest, WithoutModelsNoSocketIsOpened) {
  kovo_base::tcp::testing::clear_tcp_models();
  auto holder = platform::bind_udp({{0, 0, 0, 0}, port_});  // a bind would fail
  ASSERT_TRUE(holder);
  auto found = kovo_base::tcp::discover_tcp_devices();
  ASSERT_TRUE(found) << found.error().debug();
  EXPECT_TRUE(found->empty());
}

}  // namespace
}  // namespace tavik::testing
