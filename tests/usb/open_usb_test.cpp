// open_usb: the bus and port filter, the product check, the choice among
// several devices and the log lines of opening.
#include "kovo_base/usb/open_usb.h"
#include "kovo_base/usb/usb_identity.h"
#include "usb_fixture.h"

namespace tavik::testing {
namespace {

using kovo_base::DeviceFilter;
using kovo_base::usb::open_usb;

DeviceFilter make_filter(std::optional<std::uint8_t> bus, std::optional<std::uint8_t> port = {},
                         std::optional<std::string> ip = {}, std::optional<std::string> serial = {}) {
  DeviceFilter filter;
  filter.device_bus = bus;
  filter.device_port = port;
  filter.device_ip = std::move(ip);
  filter.device_serial = std::move(serial);
  return filter;
}

class OpenUsbTest : public UsbTest {
 protected:
  // Bus and port of the device open_usb picks, or none.
  std::optional<std::pair<int, int>> opened_bus_port() {
    auto handle = open_usb();
    if (!handle) return std::nullopt;
    auto info = kovo_base::usb::usb_device_info(*handle);
    if (!info) return std::nullopt;
    return std::pair<int, int>(*info->bus, *info->port);
  }
};

TEST_F(OpenUsbTest, BusAndPortFilter) {
  usb_double::plug(usb_double::vorta_mfe(1, 4));
  usb_double::plug(usb_double::ombrix(2, 7));
  usb_double::plug(usb_double::vorta_mfe(2, 4));
  struct Case {
    const char* name;
    DeviceFilter filter;
    std::optional<std::pair<int, int>> opened;
  };
  const Case cases[] = {
      {"no filter: first in list order", {}, std::pair(1, 4)},
      {"bus", make_filter(2), std::pair(2, 7)},
      {"port", make_filter({}, 7), std::pair(2, 7)},
      {"bus and port", make_filter(2, 4), std::pair(2, 4)},
      {"bus without devices", make_filter(3), std::nullopt},
      {"port on another bus", make_filter(1, 7), std::nullopt},
      {"ip and serial take no part", make_filter({}, {}, "10.0.0.9", "123"), std::pair(1, 4)},
  };
  for (const auto& c : cases) {
    kovo_base::replace_device_filter(c.filter);
    EXPECT_EQ(opened_bus_port(), c.opened) << c.name;
    EXPECT_EQ(usb_double::census().handles, 0) << c.name;
  }
}

TEST_F(OpenUsbTest, LogLines) {
  usb_double::plug(usb_double::vorta_mfe(1, 4));
  kovo_base::replace_device_filter(make_filter(1));
  ASSERT_TRUE(open_usb());
  EXPECT_EQ(log_.count("[DEBUG]", "kovo_base::connection::handle",
                       "Searching USB device with options: DeviceFilter { device_bus: Some(1), device_port: None, "
                       "device_ip: None, device_serial: None }"),
            1u);
  EXPECT_EQ(log_.count("[INFO]", "Successfuly openned USB connection (hub: 1, port: 4)"), 1u);

  kovo_base::replace_device_filter(make_filter(9));
  auto none = open_usb();
  ASSERT_FALSE(none);
  EXPECT_EQ(none.error().kind(), kovo_base::ConnectionError::Kind::DeviceNotFound);
  EXPECT_EQ(log_.count("[DEBUG]", "kovo_base::connection::handle", "No USB device found"), 1u);
}

TEST_F(OpenUsbTest, ProductCheck) {
  struct Case {
    const char* name;
    usb_double::DeviceSpec first;
    bool first_opened;
  };
  auto vorta = [](auto change) {
    auto setup = usb_double::vorta_mfe(1, 1);
    change(setup);
    return setup;
  };
  auto ombrix = [](auto change) {
    auto setup = usb_double::ombrix(1, 1);
    change(setup);
    return setup;
  };
  const Case cases[] = {
      {"exact product", vorta([](auto&) {}), true},
      {"trailing space", vorta([](auto& s) { s.product = "Vorta MFE "; }), false},
      {"other case", vorta([](auto& s) { s.product = "VORTA MFE"; }), false},
      {"no product string", vorta([](auto& s) { s.product.reset(); }), false},
      {"strings time out", vorta([](auto& s) { s.strings_time_out = true; }), false},
      {"Ombrix with any product", ombrix([](auto& s) { s.product = "Vorta MFE?"; }), true},
      {"Ombrix whose strings time out", ombrix([](auto& s) { s.strings_time_out = true; }), true},
  };
  for (const auto& c : cases) {
    usb_double::reset();
    const auto first = usb_double::plug(c.first);
    usb_double::plug(usb_double::ombrix(1, 2));
    EXPECT_EQ(opened_bus_port(), std::pair(1, c.first_opened ? 1 : 2)) << c.name;
    // A device that fails the check is closed again.
    EXPECT_EQ(count_events("close " + std::to_string(first)), 1u) << c.name;
  }
}

TEST_F(OpenUsbTest, TheOtherDeviceIsOpenedClaimedAndClosedDuringTheSearch) {
  const auto first = usb_double::plug(usb_double::vorta_mfe(1, 1));
  const auto second = usb_double::plug(usb_double::ombrix(1, 2));
  auto handle = open_usb();
  ASSERT_TRUE(handle);
  const auto s = std::to_string(second);
  EXPECT_EQ(count_events("claim " + s + ":1"), 1u);
  EXPECT_EQ(count_events("release " + s + ":1"), 1u);
  EXPECT_EQ(count_events("close " + s), 1u);
  EXPECT_EQ(count_events("close " + std::to_string(first)), 0u);
  EXPECT_EQ(usb_double::census().claimed, 1);
}

TEST_F(OpenUsbTest, DeviceInfoOfAnOpenHandle) {
  auto setup = usb_double::vorta_mfe(3, 5);
  setup.serial = "900000777";
  usb_double::plug(setup);
  auto handle = open_usb();
  ASSERT_TRUE(handle);
  auto info = kovo_base::usb::usb_device_info(*handle);
  ASSERT_TRUE(info);
  EXPECT_EQ(kovo_base::to_json(*info), R"json({"model":"Usb(VortaMfe)","bus":3,"port":5,"serial":"900000777"})json");
}

TEST_F(OpenUsbTest, DeviceInfoOfCandidatesLeavesOutAnUnreadableSerial) {
  auto setup = usb_double::ombrix(1, 2);
  setup.serial.reset();
  usb_double::plug(setup);
  auto candidates = kovo_base::usb::list_usb_candidates();
  ASSERT_TRUE(candidates);
  ASSERT_EQ(candidates->size(), 1u);
  EXPECT_EQ(kovo_base::to_json(kovo_base::usb::usb_device_info(candidates->front())),
            R"json({"model":"Usb(Ombrix)","bus":1,"port":2})json");
}

}  // namespace
}  // namespace tavik::testing
