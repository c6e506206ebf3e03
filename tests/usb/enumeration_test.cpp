// list_usb_candidates: which devices become candidates, what is logged, and
// how long the libusb context lives.
#include "kovo_base/usb/usb_candidates.h"
#include "usb_fixture.h"

namespace tavik::testing {
namespace {

using kovo_base::usb::list_usb_candidates;
using ::testing::ElementsAre;

class EnumerationTest : public UsbTest {};

TEST_F(EnumerationTest, SkipRulesAndTheirLogLines) {
  usb_double::DeviceSpec unknown;
  unknown.vendor_id = 0x1234;
  unknown.product_id = 0x5678;
  const auto foreign = usb_double::plug(unknown);
  auto locked = usb_double::vorta_mfe(1, 2);
  locked.open_error = LIBUSB_ERROR_ACCESS;
  usb_double::plug(locked);
  auto held = usb_double::ombrix(1, 3);
  held.claim_error = LIBUSB_ERROR_BUSY;
  const auto held_id = usb_double::plug(held);
  auto unreadable = usb_double::vorta_mfe(1, 5);
  unreadable.descriptor_error = LIBUSB_ERROR_IO;
  usb_double::plug(unreadable);
  const auto vorta = usb_double::plug(usb_double::vorta_mfe(2, 4));
  const auto ombrix = usb_double::plug(usb_double::ombrix(2, 6));

  auto candidates = list_usb_candidates();
  ASSERT_TRUE(candidates) << candidates.error().debug();
  ASSERT_EQ(candidates->size(), 2u);
  EXPECT_EQ(candidates->at(0).model_info->model, kovo_base::DeviceModel::VortaMfe);
  EXPECT_EQ(candidates->at(1).model_info->model, kovo_base::DeviceModel::Ombrix);
  EXPECT_EQ(candidates->at(0).device.bus(), 2);
  EXPECT_EQ(candidates->at(0).device.port(), 4);

  EXPECT_EQ(log_.count("[WARN]", "Ignoring Bus 001 Device 012: ID 2fe7:0001 device due to open error: "
                                 "Access denied (insufficient permissions)"),
            1u);
  EXPECT_EQ(log_.count("[DEBUG]", "kovo_base::connection::usb",
                       "All available devices list [Opener { model_info: Some(VortaMfe), handle: <omitted> }, "
                       "Opener { model_info: Some(Ombrix), handle: <omitted> }]"),
            1u);
  // The foreign device is never opened; the one whose claim fails is closed again silently.
  EXPECT_EQ(count_events("open " + std::to_string(foreign)), 0u);
  EXPECT_EQ(count_events("close " + std::to_string(held_id)), 1u);
  EXPECT_EQ(log_.count("[WARN]"), 1u);
  EXPECT_EQ(count_events("claim " + std::to_string(vorta) + ":1"), 1u);
  EXPECT_EQ(count_events("claim " + std::to_string(ombrix) + ":1"), 1u);
  EXPECT_EQ(log_.count("Auto detaching"), 0u);
}

TEST_F(EnumerationTest, UnsupportedAutoDetachIsLoggedForEachCandidateAndIgnored) {
  for (std::uint8_t port : {1, 2}) {
    auto setup = usb_double::vorta_mfe(1, port);
    setup.auto_detach_error = LIBUSB_ERROR_NOT_SUPPORTED;
    usb_double::plug(setup);
  }
  auto candidates = list_usb_candidates();
  ASSERT_TRUE(candidates);
  EXPECT_EQ(candidates->size(), 2u);
  EXPECT_EQ(log_.count("[DEBUG]", "kovo_base::connection::usb", "Auto detaching of kernel driver is not supported"),
            2u);
}

TEST_F(EnumerationTest, ContextFailureIsLoggedAndReturned) {
  usb_double::fail_init(LIBUSB_ERROR_NO_MEM);
  auto candidates = list_usb_candidates();
  ASSERT_FALSE(candidates);
  EXPECT_EQ(candidates.error().debug(), "Rusb(NoMem)");
  EXPECT_EQ(log_.count("[ERROR]", "Failed to create usb context: Insufficient memory (Rusb(NoMem))"), 1u);
}

TEST_F(EnumerationTest, DeviceListFailureIsReturnedWithoutALogLine) {
  usb_double::plug(usb_double::vorta_mfe(1, 1));
  usb_double::fail_device_list(LIBUSB_ERROR_IO);
  auto candidates = list_usb_candidates();
  ASSERT_FALSE(candidates);
  EXPECT_EQ(candidates.error().debug(), "Rusb(Io)");
  EXPECT_EQ(log_.count("[ERROR]"), 0u);
  EXPECT_THAT(usb_double::events(), ElementsAre("init", "exit"));
}

TEST_F(EnumerationTest, ContextLivesAsLongAsTheLastCandidate) {
  const auto first = usb_double::plug(usb_double::vorta_mfe(1, 1));
  const auto second = usb_double::plug(usb_double::ombrix(1, 2));
  auto candidates = list_usb_candidates();
  ASSERT_TRUE(candidates);
  auto kept = std::move(candidates->at(1));
  candidates->clear();
  EXPECT_EQ(usb_double::census().contexts, 1);
  EXPECT_EQ(usb_double::census().claimed, 1);
  {
    auto gone = std::move(kept);
  }
  const auto f = std::to_string(first);
  const auto s = std::to_string(second);
  EXPECT_THAT(usb_double::events(), ElementsAre("init", "open " + f, "claim " + f + ":1", "open " + s,
                                                "claim " + s + ":1", "release " + f + ":1", "close " + f,
                                                "release " + s + ":1", "close " + s, "exit"));
}

TEST_F(EnumerationTest, DeviceDescription) {
  auto setup = usb_double::ombrix(3, 9);
  setup.address = 17;
  usb_double::plug(setup);
  auto broken = usb_double::ombrix(3, 10);
  broken.descriptor_error = LIBUSB_ERROR_IO;
  usb_double::plug(broken);

  libusb_context* context = nullptr;
  ASSERT_EQ(libusb_init(&context), 0);
  libusb_device** list = nullptr;
  ASSERT_EQ(libusb_get_device_list(context, &list), 2);
  EXPECT_EQ(kovo_base::usb::describe_device(list[0]), "Bus 003 Device 017: ID 0525:a4a6");
  EXPECT_EQ(kovo_base::usb::describe_device(list[1]), "Can't read device descriptor Io");
  EXPECT_EQ(kovo_base::usb::find_usb_model(list[1]), nullptr);
  libusb_free_device_list(list, 1);
  libusb_exit(context);
}

TEST(UsbModelRegistryTest, FirstEntryWithBothIdsMatchingWins) {
  kovo_base::usb::UsbModelRegistry registry;
  EXPECT_EQ(registry.find(0x2FE7, 0x0001), nullptr);
  registry.add(kovo_base::usb::supported_usb_model(kovo_base::DeviceModel::VortaMfe));
  registry.add(kovo_base::usb::supported_usb_model(kovo_base::DeviceModel::Ombrix));
  registry.add(kovo_base::usb::supported_usb_model(kovo_base::DeviceModel::VortaMfe));
  EXPECT_THAT(registry.models(), ElementsAre(kovo_base::DeviceModel::VortaMfe, kovo_base::DeviceModel::Ombrix));
  ASSERT_NE(registry.find(0x0525, 0xA4A6), nullptr);
  EXPECT_EQ(registry.find(0x0525, 0xA4A6)->out_endpoint, 0x01);
  EXPECT_EQ(registry.find(0x2FE7, 0xA4A6), nullptr);
  EXPECT_EQ(registry.find(0x0525, 0x0001), nullptr);
}

}  // namespace
}  // namespace tavik::testing
