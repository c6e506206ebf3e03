// Which module the library opens over the network: discovery by beacons, the
// serial and address filters, clearing them, the device record and the list
// of modules heard. Beacons come from a script, so their order is known.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "e2e_tcp/beacon_script.h"
#include "e2e_tcp/child_process.h"
#include "e2e_tcp/library.h"
#include "e2e_tcp/module_log.h"
#include "private_network.h"

namespace tavik::e2e {
namespace {

using namespace std::chrono_literals;

const ScriptedDatagram beacon_a{"127.0.0.2", beacon_bytes(123)};
const ScriptedDatagram beacon_b{"127.0.0.3", beacon_bytes(300003)};
const ScriptedDatagram not_a_beacon{"127.0.0.2", {'s', 'm', 'x', '?'}};

std::string session_text(int session) { return codec::format_session_number(session); }

bool answered(const std::string& result, int session) { return result.starts_with(session_text(session) + "|08000|"); }

struct ChoiceCase {
  const char* name;
  std::vector<ScriptedDatagram> beacons;
  const char* chosen;  // the module that must answer
  const char* device_json;
};

TEST(DeviceChoice, TheLastBeaconHeardIsChosen) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  const std::vector<ChoiceCase> cases = {
      {"a then b", {beacon_a, beacon_b}, "127.0.0.3",
       R"j({"model":"Tcp(Ombrix)","ip":"127.0.0.3:9014","serial":"300003"})j"},
      {"b then a", {beacon_b, beacon_a}, "127.0.0.2",
       R"j({"model":"Tcp(Ombrix)","ip":"127.0.0.2:9014","serial":"000123"})j"},
      // A datagram that is no beacon still uses up its model's turn.
      {"a then garbage", {beacon_a, not_a_beacon}, "127.0.0.2",
       R"j({"model":"Tcp(VortaMfe)","ip":"127.0.0.2:9014","serial":"000123"})j"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    run_in_child([&] {
      ModuleLog log_a, log_b;
      auto a = start_module({.address = "127.0.0.2"}, log_a);
      auto b = start_module({.address = "127.0.0.3"}, log_b);
      ASSERT_TRUE(a && b);
      BeaconScript beacons(c.beacons);
      Library library;
      ASSERT_TRUE(library.loaded());
      library->HabilitarRedeBroadcast();
      EXPECT_TRUE(answered(library->ConsultarSAT(320001), 320001));
      ModuleLog& chosen = std::string(c.chosen) == "127.0.0.2" ? log_a : log_b;
      ModuleLog& other = std::string(c.chosen) == "127.0.0.2" ? log_b : log_a;
      EXPECT_EQ(chosen.count("<- ConsultarSAT 320001"), 1u);
      EXPECT_EQ(other.count("connected"), 0u);
      EXPECT_EQ(json_text(library->GetDeviceInfoAsJson()), c.device_json);
    });
  }
}

TEST(DeviceChoice, TheSerialFilterComparesTheBeaconTextExactly) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child([] {
    ModuleLog log_a, log_b;
    auto a = start_module({.address = "127.0.0.2"}, log_a);
    auto b = start_module({.address = "127.0.0.3"}, log_b);
    ASSERT_TRUE(a && b);
    BeaconScript beacons({beacon_a, beacon_b});
    Library library;
    ASSERT_TRUE(library.loaded());
    library->HabilitarRedeBroadcast();

    // The beacon carries 123, which the library reads as "000123".
    EXPECT_EQ(library->FiltraMFENumSerie("123"), 1);
    EXPECT_EQ(std::string(library->ConsultarSAT(320101)), "320101|9999|SAT Desconectado");
    EXPECT_TRUE(library.log_has("[ERROR] Failed to open connection: "));

    EXPECT_EQ(library->FiltraMFENumSerie("000123"), 0);
    EXPECT_TRUE(answered(library->ConsultarSAT(320102), 320102));
    EXPECT_EQ(log_a.count("<- ConsultarSAT 320102"), 1u);
    EXPECT_EQ(json_text(library->GetDeviceInfoAsJson()),
              R"j({"model":"Tcp(VortaMfe)","ip":"127.0.0.2:9014","serial":"000123"})j");
    EXPECT_EQ(log_b.count("<- ConsultarSAT"), 0u);
  });
}

TEST(DeviceChoice, TheAddressFilterSkipsDiscoveryAndReportsSerialNA) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child([] {
    ModuleLog log_a;
    auto a = start_module({.address = "127.0.0.2"}, log_a);
    ASSERT_TRUE(a);
    BeaconScript beacons({beacon_a, beacon_b});
    Library library;
    ASSERT_TRUE(library.loaded());

    EXPECT_EQ(library->FiltraMFEIp("127.0.0.2"), 0);
    EXPECT_TRUE(answered(library->ConsultarSAT(320201), 320201));
    EXPECT_EQ(json_text(library->GetDeviceInfoAsJson()),
              R"j({"model":"Tcp(VortaMfe)","ip":"127.0.0.2:9014","serial":"NA"})j");
    EXPECT_EQ(beacons.served(), 0u) << "no beacon socket may be opened";
    EXPECT_FALSE(library.log_has("All available devices list"));

    // Nothing listens there: the probe fails and so does the record.
    EXPECT_EQ(library->FiltraMFEIp("127.0.0.9"), 1);
    EXPECT_EQ(json_text(library->GetDeviceInfoAsJson()), "NULL");
    EXPECT_EQ(std::string(library->ConsultarSAT(320202)), "timeout");
  });
}

TEST(DeviceChoice, AnAddressThatIsNotStrictIpv4FailsToParse) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child([] {
    ModuleLog log_a;
    auto a = start_module({.address = "127.0.0.2"}, log_a);
    ASSERT_TRUE(a);
    Library library;
    ASSERT_TRUE(library.loaded());
    const std::vector<std::string> addresses = {"127.0.0.02", "127.0.0.2.5", " 127.0.0.2", "127.0.0.2 ",
                                                "127.0.0.256", "localhost",   "::1",        ""};
    int session = 320300;
    for (const auto& address : addresses) {
      SCOPED_TRACE("address \"" + address + "\"");
      EXPECT_EQ(library->FiltraMFEIp(address.c_str()), 1);
      EXPECT_EQ(std::string(library->ConsultarSAT(++session)), "timeout");
    }
    EXPECT_TRUE(library.log_has("Failed to open connection: invalid IPv4 address syntax (IpParse("));
    EXPECT_EQ(log_a.count("connected"), 0u);
    // The same module by its proper address.
    EXPECT_EQ(library->FiltraMFEIp("127.0.0.2"), 0);
    ++session;
    EXPECT_TRUE(answered(library->ConsultarSAT(session), session));
  });
}

TEST(DeviceChoice, EveryFilterExportClosesTheOpenConnection) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child([] {
    ModuleLog log_a, log_b;
    auto a = start_module({.address = "127.0.0.2"}, log_a);
    auto b = start_module({.address = "127.0.0.3"}, log_b);
    ASSERT_TRUE(a && b);
    BeaconScript beacons({beacon_a, beacon_b});
    Library library;
    ASSERT_TRUE(library.loaded());

    // Each step: the filter export, then whether the module's earlier
    // connection was closed and the next request came on a new one.
    int session = 320400;
    auto request_on_new_connection = [&](ModuleLog& log, const std::function<void()>& filter) {
      const std::string before = log.peer_of("<- ConsultarSAT " + session_text(session));
      filter();
      EXPECT_TRUE(log.wait_for("[" + before + "] disconnected", 1, 5s)) << "still open: " << before;
      ++session;
      EXPECT_TRUE(answered(library->ConsultarSAT(session), session));
      const std::string after = log.peer_of("<- ConsultarSAT " + session_text(session));
      EXPECT_FALSE(after.empty());
      EXPECT_NE(after, before);
    };

    ASSERT_EQ(library->FiltraMFEIp("127.0.0.2"), 0);
    ASSERT_TRUE(answered(library->ConsultarSAT(session), session));
    // The same options again still close the connection.
    request_on_new_connection(log_a, [&] { EXPECT_EQ(library->FiltraMFEIp("127.0.0.2"), 0); });
    request_on_new_connection(log_a, [&] { EXPECT_EQ(library->FiltraMFENumSerie("000123"), 0); });
    // Clearing keeps the network method: the next request discovers (the last beacon is b's).
    const std::string on_a = log_a.peer_of("<- ConsultarSAT " + session_text(session));
    library->LimpaFiltrosMFE();
    EXPECT_TRUE(log_a.wait_for("[" + on_a + "] disconnected", 1, 5s));
    ++session;
    EXPECT_TRUE(answered(library->ConsultarSAT(session), session));
    EXPECT_EQ(log_b.count("<- ConsultarSAT " + session_text(session)), 1u);
    // After the network method, the USB filter also probes over the network.
    request_on_new_connection(log_b, [&] { EXPECT_EQ(library->FiltraMFEUsb(257, 260), 0); });
  });
}

TEST(DeviceList, ListsEveryBeaconHeardWithItsBareAddress) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child([] {
    BeaconScript beacons({beacon_a, beacon_b});
    Library library;
    ASSERT_TRUE(library.loaded());
    EXPECT_EQ(json_text(library->ListAvailableMfeTcpAsJson()),
              R"j([{"model":"Tcp(VortaMfe)","ip":"127.0.0.2","serial":"000123"},)j"
              R"j({"model":"Tcp(Ombrix)","ip":"127.0.0.3","serial":"300003"}])j");
  });
}

TEST(DeviceList, AModuleHeardTwiceIsListedTwice) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child([] {
    ModuleLog log;
    auto module = start_module({.address = "127.0.0.4", .beacons = true}, log);
    ASSERT_TRUE(module);
    Library library;
    ASSERT_TRUE(library.loaded());
    EXPECT_EQ(json_text(library->ListAvailableMfeTcpAsJson()),
              R"j([{"model":"Tcp(VortaMfe)","ip":"127.0.0.4","serial":"900000123"},)j"
              R"j({"model":"Tcp(Ombrix)","ip":"127.0.0.4","serial":"900000123"}])j");
  });
}

TEST(DeviceList, FailsAtOnceWhileAnotherDiscoveryListens) {
  TAVIK_REQUIRE_PRIVATE_NETWORK();
  run_in_child([] {
    Library library;
    ASSERT_TRUE(library.loaded());
    // No module beacons: the heartbeat's probe listens (70 s per receive).
    library->HabilitarRedeBroadcast();
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (!beacon_socket_inode() && std::chrono::steady_clock::now() < until) std::this_thread::sleep_for(5ms);
    ASSERT_TRUE(beacon_socket_inode());
    EXPECT_EQ(json_text(library->ListAvailableMfeTcpAsJson()), "NULL");
    EXPECT_TRUE(library.log_has("Failed to listen to UDP broadcast"));
  });
}

}  // namespace
}  // namespace tavik::e2e
