// Which device the library opens over USB when a call needs one: the
// product-string rule, list order, the bus and port filter, and devices that
// cannot be opened or claimed.
#include <functional>

#include "e2e_usb/e2e_usb_fixture.h"

namespace tavik::e2e_usb {
namespace {

class OpeningTest : public UsbLibraryTest {
 protected:
  std::unique_ptr<simulator::Simulator> module_ = start_module();
};

TEST_F(OpeningTest, ProductStringRule) {
  struct Case {
    const char* name;
    usb_double::DeviceSpec setup;
    bool opened;
  };
  auto with = [&](usb_double::DeviceSpec setup, const std::function<void(usb_double::DeviceSpec&)>& change) {
    change(setup);
    return setup;
  };
  auto vorta = [&] { return usb_double::vorta_mfe(1, 1, usb_double::simulator_link(*module_)); };
  auto ombrix = [&] { return usb_double::ombrix(1, 1, usb_double::simulator_link(*module_)); };
  const Case cases[] = {
      {"VortaMfe with its product string", vorta(), true},
      {"VortaMfe with another product string", with(vorta(), [](auto& s) { s.product = "Vorta MFE 2"; }), false},
      {"VortaMfe without a product string", with(vorta(), [](auto& s) { s.product.reset(); }), false},
      {"VortaMfe whose strings time out", with(vorta(), [](auto& s) { s.strings_time_out = true; }), false},
      {"Ombrix with another product string", with(ombrix(), [](auto& s) { s.product = "Something"; }), true},
      {"Ombrix whose strings time out", with(ombrix(), [](auto& s) { s.strings_time_out = true; }), true},
  };
  int session = 10;
  for (const auto& c : cases) {
    TAVIK_EXPORT(LimpaFiltrosMFE)();  // closes the device of the case before
    usb_double::reset();
    const auto device = usb_double::plug(c.setup);
    ++session;
    EXPECT_EQ(consult(session), c.opened ? answered(session) : disconnected(session)) << c.name;
    // A device that fails the check is closed again and never carries a transfer.
    EXPECT_EQ(transfers_on(device) > 0, c.opened) << c.name;
    EXPECT_EQ(usb_double::census().handles, c.opened ? 1 : 0) << c.name;
  }
}

TEST_F(OpeningTest, TwoDevicesWithoutFilterUseTheFirstInListOrder) {
  auto other_module = start_module();
  const auto first = usb_double::plug(usb_double::ombrix(2, 7, usb_double::simulator_link(*module_)));
  const auto second = usb_double::plug(usb_double::vorta_mfe(1, 1, usb_double::simulator_link(*other_module)));
  EXPECT_EQ(consult(1), answered(1));
  EXPECT_EQ(consult(2), answered(2));
  EXPECT_GT(transfers_on(first), 0u);
  EXPECT_EQ(transfers_on(second), 0u);
  // The second one was taken during the search and given back at once.
  EXPECT_EQ(count_events("claim " + id(second) + ":1"), 1u);
  EXPECT_EQ(count_events("release " + id(second) + ":1"), 1u);
  EXPECT_EQ(count_events("close " + id(second)), 1u);
  EXPECT_EQ(count_events("close " + id(first)), 0u);
  EXPECT_EQ(log_.count("[INFO]", "Successfuly openned USB connection (hub: 2, port: 7)"), 1u);
}

TEST_F(OpeningTest, BusAndPortFilterThatMatchesNothing) {
  const auto device = usb_double::plug(usb_double::vorta_mfe(1, 4, usb_double::simulator_link(*module_)));
  EXPECT_EQ(TAVIK_EXPORT(FiltraMFEUsb)(1, 5), 1);
  EXPECT_EQ(log_.count("[ERROR]", "Failed to open connection: "), 1u);
  // Until the options change every call fails as with no device at all.
  EXPECT_EQ(consult(3), disconnected(3));
  EXPECT_EQ(consult(4), disconnected(4));
  EXPECT_EQ(transfers_on(device), 0u);
  TAVIK_EXPORT(LimpaFiltrosMFE)();
  EXPECT_EQ(consult(5), answered(5));
}

TEST_F(OpeningTest, DevicesThatCannotBeOpenedOrClaimedAreSkipped) {
  struct Case {
    const char* name;
    int open_error;
    int claim_error;
    bool warned;
  };
  const Case cases[] = {
      {"open refused", LIBUSB_ERROR_ACCESS, 0, true},
      {"interface held by another program", 0, LIBUSB_ERROR_BUSY, false},
  };
  int session = 20;
  for (const auto& c : cases) {
    TAVIK_EXPORT(LimpaFiltrosMFE)();
    usb_double::reset();
    log_.mark();
    auto broken = usb_double::vorta_mfe(1, 1, usb_double::simulator_link(*module_));
    broken.open_error = c.open_error;
    broken.claim_error = c.claim_error;
    broken.address = 9;
    const auto skipped = usb_double::plug(broken);
    const auto good = usb_double::plug(usb_double::vorta_mfe(1, 2, usb_double::simulator_link(*module_)));
    ++session;
    EXPECT_EQ(consult(session), answered(session)) << c.name;
    EXPECT_EQ(transfers_on(skipped), 0u) << c.name;
    EXPECT_GT(transfers_on(good), 0u) << c.name;
    EXPECT_EQ(log_.count("[WARN]", "Ignoring Bus 001 Device 009: ID 2fe7:0001 device due to open error: "
                                   "Access denied (insufficient permissions)"),
              c.warned ? 1u : 0u)
        << c.name;
    EXPECT_EQ(log_.count("[WARN]"), c.warned ? 1u : 0u) << c.name;
  }
}

}  // namespace
}  // namespace tavik::e2e_usb
