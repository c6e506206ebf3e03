// Device selection over USB through the exports: the filters, the record of
// the open device and the list of attached devices as JSON.
#include <cstdlib>
#include <functional>

#include "e2e_usb/e2e_usb_fixture.h"

namespace tavik::e2e_usb {
namespace {

// Another program holding a device: its own libusb context, the device
// opened and interface 1 claimed, until destroyed.
class HeldByAnotherProgram {
 public:
  explicit HeldByAnotherProgram(std::uint8_t bus, std::uint8_t port) {
    if (libusb_init(&context_) != 0) return;
    libusb_device** list = nullptr;
    const auto count = libusb_get_device_list(context_, &list);
    for (ssize_t i = 0; i < count; ++i) {
      if (libusb_get_bus_number(list[i]) == bus && libusb_get_port_number(list[i]) == port &&
          libusb_open(list[i], &handle_) == 0) {
        claimed_ = libusb_claim_interface(handle_, 1) == 0;
        break;
      }
    }
    libusb_free_device_list(list, 1);
  }
  ~HeldByAnotherProgram() {
    if (claimed_) libusb_release_interface(handle_, 1);
    if (handle_ != nullptr) libusb_close(handle_);
    if (context_ != nullptr) libusb_exit(context_);
  }
  bool holds() const { return claimed_; }

 private:
  libusb_context* context_ = nullptr;
  libusb_device_handle* handle_ = nullptr;
  bool claimed_ = false;
};

class DeviceSelectionTest : public UsbLibraryTest {
 protected:
  usb_double::DeviceId plug_vorta(std::uint8_t bus, std::uint8_t port) {
    return usb_double::plug(usb_double::vorta_mfe(bus, port, usb_double::simulator_link(*module_)));
  }
  static std::string take_json(const char* text) {
    // The library hands over a new allocation and never frees it.
    if (text == nullptr) return "NULL";
    std::string copy = text;
    std::free(const_cast<char*>(text));
    return copy;
  }

  std::unique_ptr<simulator::Simulator> module_ = start_module();
};

TEST_F(DeviceSelectionTest, FiltraMfeUsbOpensOnlyTheDeviceOnThatBusAndPort) {
  const auto bus1_port3 = plug_vorta(1, 3);
  const auto bus1_port4 = plug_vorta(1, 4);
  const auto bus2_port4 = plug_vorta(2, 4);
  struct Case {
    int hub;
    int port;
    std::optional<usb_double::DeviceId> used;
  };
  const Case cases[] = {
      {1, 4, bus1_port4},
      {257, 260, bus1_port4},  // only the low eight bits count
      {2, 4, bus2_port4},
      {1, 3, bus1_port3},
      {3, 4, std::nullopt},
      {2, 3, std::nullopt},
  };
  int session = 100;
  for (const auto& c : cases) {
    const auto before = usb_double::transfers().size();
    log_.mark();
    EXPECT_EQ(TAVIK_EXPORT(FiltraMFEUsb)(c.hub, c.port), c.used ? 0 : 1) << c.hub << "/" << c.port;
    EXPECT_EQ(log_.count("[ERROR]", "Failed to open connection: "), c.used ? 0u : 1u) << c.hub << "/" << c.port;
    ++session;
    EXPECT_EQ(consult(session), c.used ? answered(session) : disconnected(session)) << c.hub << "/" << c.port;
    const auto transfers = usb_double::transfers();
    for (auto t = transfers.begin() + static_cast<std::ptrdiff_t>(before); t != transfers.end(); ++t) {
      EXPECT_EQ(t->device, *c.used) << c.hub << "/" << c.port;
    }
  }
}

TEST_F(DeviceSelectionTest, FiltraMfeNumSerieDoesNotRestrictUsbOpening) {
  auto wrong_product = usb_double::vorta_mfe(1, 1, usb_double::simulator_link(*module_));
  wrong_product.product = "Other";
  usb_double::plug(wrong_product);
  const auto usable = plug_vorta(1, 2);
  plug_vorta(1, 3);
  EXPECT_EQ(TAVIK_EXPORT(FiltraMFENumSerie)("555000111"), 0);
  EXPECT_EQ(log_.count("[DEBUG]", "Searching USB device with options: DeviceFilter { device_bus: None, "
                                  "device_port: None, device_ip: None, device_serial: Some(\"555000111\") }"),
            1u);
  EXPECT_EQ(consult(1), answered(1));
  EXPECT_GT(transfers_on(usable), 0u);
  EXPECT_EQ(log_.count("[INFO]", "Successfuly openned USB connection (hub: 1, port: 2)"), 1u);
}

TEST_F(DeviceSelectionTest, EveryFilterExportClosesTheOpenConnection) {
  const auto device = plug_vorta(1, 4);
  ASSERT_EQ(consult(1), answered(1));
  struct Step {
    const char* name;
    std::function<void()> call;
    int handles_after;  // the probing exports open the device again
  };
  const Step steps[] = {
      {"FiltraMFEUsb", [] { EXPECT_EQ(TAVIK_EXPORT(FiltraMFEUsb)(1, 4), 0); }, 1},
      {"FiltraMFEUsb with the same options", [] { EXPECT_EQ(TAVIK_EXPORT(FiltraMFEUsb)(1, 4), 0); }, 1},
      {"FiltraMFENumSerie", [] { EXPECT_EQ(TAVIK_EXPORT(FiltraMFENumSerie)("1"), 0); }, 1},
      {"LimpaFiltrosMFE", [] { TAVIK_EXPORT(LimpaFiltrosMFE)(); }, 0},
  };
  std::size_t closes = 0;
  for (const auto& step : steps) {
    ASSERT_EQ(usb_double::census().handles, 1) << step.name;
    step.call();
    EXPECT_EQ(count_events("close " + id(device)), ++closes) << step.name;
    EXPECT_EQ(usb_double::census().handles, step.handles_after) << step.name;
    if (step.handles_after == 0) {
      ASSERT_EQ(consult(2), answered(2));
    }
  }
  // FiltraMFEIp switches the process to the network for good: in a child,
  // with an address that does not parse, so that its probe stays off the network.
  EXPECT_EXIT(
      {
        const auto closed_before = count_events("close " + id(device));
        if (TAVIK_EXPORT(FiltraMFEIp)("no address") != 1) std::_Exit(2);
        std::_Exit(count_events("close " + id(device)) == closed_before + 1 ? 0 : 1);
      },
      ::testing::ExitedWithCode(0), "");
}

TEST_F(DeviceSelectionTest, GetDeviceInfoAsJsonDescribesTheOpenDevice) {
  auto vorta = usb_double::vorta_mfe(3, 5, usb_double::simulator_link(*module_));
  vorta.serial = "900000777";
  usb_double::plug(vorta);
  const char* first = TAVIK_EXPORT(GetDeviceInfoAsJson)();
  const char* second = TAVIK_EXPORT(GetDeviceInfoAsJson)();
  EXPECT_NE(first, second);  // a new text on every call
  EXPECT_EQ(take_json(first), R"json({"model":"Usb(VortaMfe)","bus":3,"port":5,"serial":"900000777"})json");
  EXPECT_EQ(take_json(second), R"json({"model":"Usb(VortaMfe)","bus":3,"port":5,"serial":"900000777"})json");
  EXPECT_EQ(usb_double::census().handles, 1);  // continuous mode keeps it open

  struct Case {
    const char* name;
    usb_double::DeviceSpec setup;
    std::string json;
  };
  auto ombrix = [&](auto change) {
    auto setup = usb_double::ombrix(1, 2, usb_double::simulator_link(*module_));
    change(setup);
    return setup;
  };
  const Case unreadable[] = {
      {"no serial string", ombrix([](auto& s) { s.serial.reset(); }), R"json({"model":"Usb(Ombrix)","bus":1,"port":2})json"},
      {"strings time out", ombrix([](auto& s) { s.strings_time_out = true; }),
       R"json({"model":"Usb(Ombrix)","bus":1,"port":2})json"},
      {"serial string readable", ombrix([](auto&) {}), R"json({"model":"Usb(Ombrix)","bus":1,"port":2,"serial":"OMB-0042"})json"},
  };
  for (const auto& c : unreadable) {
    TAVIK_EXPORT(LimpaFiltrosMFE)();
    usb_double::reset();
    usb_double::plug(c.setup);
    EXPECT_EQ(take_json(TAVIK_EXPORT(GetDeviceInfoAsJson)()), c.json) << c.name;
  }
}

TEST_F(DeviceSelectionTest, GetDeviceInfoAsJsonWithoutADeviceIsNull) {
  EXPECT_EQ(TAVIK_EXPORT(GetDeviceInfoAsJson)(), nullptr);
  EXPECT_EQ(log_.count("[ERROR]", "Failed to open connection: "), 1u);
}

TEST_F(DeviceSelectionTest, GetDeviceInfoAsJsonInPerRequestModeClosesTheDeviceAgain) {
  plug_vorta(1, 4);
  TAVIK_EXPORT(DesabilitarConexaoContinua)();
  EXPECT_EQ(take_json(TAVIK_EXPORT(GetDeviceInfoAsJson)()),
            R"json({"model":"Usb(VortaMfe)","bus":1,"port":4,"serial":"900000123"})json");
  EXPECT_EQ(log_.count("[TRACE]", "Dropping USB connection"), 1u);
  EXPECT_EQ(usb_double::census().handles, 0);
  EXPECT_EQ(usb_double::census().contexts, 0);
}

TEST_F(DeviceSelectionTest, ListAvailableMfeUsbAsJson) {
  EXPECT_EQ(take_json(TAVIK_EXPORT(ListAvailableMfeUsbAsJson)()), "[]");

  usb_double::DeviceSpec foreign;
  foreign.vendor_id = 0x1234;
  foreign.product_id = 0x0001;
  usb_double::plug(foreign);
  EXPECT_EQ(take_json(TAVIK_EXPORT(ListAvailableMfeUsbAsJson)()), "[]");

  plug_vorta(1, 4);
  auto locked = usb_double::vorta_mfe(1, 5);
  locked.open_error = LIBUSB_ERROR_ACCESS;
  usb_double::plug(locked);
  plug_vorta(1, 6);  // held by another program below
  auto ombrix = usb_double::ombrix(2, 1);
  ombrix.serial.reset();
  usb_double::plug(ombrix);
  HeldByAnotherProgram holder(1, 6);
  ASSERT_TRUE(holder.holds());

  const char* first = TAVIK_EXPORT(ListAvailableMfeUsbAsJson)();
  const char* second = TAVIK_EXPORT(ListAvailableMfeUsbAsJson)();
  EXPECT_NE(first, second);
  const std::string expected =
      R"json([{"model":"Usb(VortaMfe)","bus":1,"port":4,"serial":"900000123"},{"model":"Usb(Ombrix)","bus":2,"port":1}])json";
  EXPECT_EQ(take_json(first), expected);
  EXPECT_EQ(take_json(second), expected);
  // Listing opens every candidate and closes them all again.
  EXPECT_EQ(usb_double::census().handles, 1);  // the other program's
  EXPECT_EQ(log_.count("[TRACE]", "usb devices: [Opener { model_info: Some(VortaMfe), handle: <omitted> }, "
                                  "Opener { model_info: Some(Ombrix), handle: <omitted> }]"),
            2u);
}

}  // namespace
}  // namespace tavik::e2e_usb
