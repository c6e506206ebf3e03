// The status table of a device that has issued nothing yet: only the CF-e
// fields (21 to 24) are empty; the last SEFAZ contact (DH_ULTIMA) is filled.
#include <gtest/gtest.h>

#include "simulator/text_utils.h"
#include "test_device.h"

namespace tavik::simulator::testing {
namespace {

using codec::SatFunction;

// Status table fields as numbered in the answer (1 = session number).
constexpr std::size_t kFirstCfeField = 21;
constexpr std::size_t kLastCfeField = 24;
constexpr std::size_t kDhUltima = 25;
constexpr std::size_t kFields = 28;

void expect_fresh_status(const std::vector<std::string>& contents, const std::string& now) {
  ASSERT_EQ(contents.size(), kFields - 1);
  const auto field = [&](std::size_t number) { return contents.at(number - 2); };
  EXPECT_EQ(field(2), "10000");
  for (std::size_t n = kFirstCfeField; n <= kLastCfeField; ++n) EXPECT_EQ(field(n), "") << "field " << n;
  EXPECT_EQ(field(kDhUltima), now);
  for (std::size_t n = 6; n <= kFields; ++n) {
    if (n < kFirstCfeField || n > kLastCfeField) {
      EXPECT_NE(field(n), "") << "field " << n;
    }
  }
}

struct FreshDevice {
  const char* name;
  bool activated;
};

class FreshDeviceStatus : public ::testing::TestWithParam<FreshDevice> {
 protected:
  FixedClock clock;
  DeviceConfig config() const {
    DeviceConfig c = activated_config(clock);
    if (!GetParam().activated) c.activation_code.reset();
    return c;
  }
  std::string code() const { return GetParam().activated ? kCode : "00000000"; }
};

TEST_P(FreshDeviceStatus, SatFormFillsDhUltima) {
  FiscalModule module(config());
  Caller call(module);
  expect_fresh_status(call(SatFunction::ConsultarStatusOperacional, {code()}).contents, date_time_text(*clock.at));
}

TEST_P(FreshDeviceStatus, MfeFormFillsDhUltima) {
  FiscalModule module(config());
  const auto answer = module.answer(
      codec::MfeBody{codec::MfeMessageType::ConsultarStatusOperacionalMFE, codec::Source::Lib, {55, {code()}}});
  expect_fresh_status(answer.contents, date_time_text(*clock.at));
}

INSTANTIATE_TEST_SUITE_P(States, FreshDeviceStatus,
                         ::testing::Values(FreshDevice{"Activated", true}, FreshDevice{"NotActivated", false}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavik::simulator::testing
