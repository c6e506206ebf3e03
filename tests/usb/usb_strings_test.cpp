// String descriptors: the validity rules, the language step and the 100 ms
// time-out of each request.
#include "kovo_base/usb/usb_candidates.h"
#include "kovo_base/usb/usb_strings.h"
#include "usb_fixture.h"

namespace tavik::testing {
namespace {

using kovo_base::usb::read_usb_string;
using kovo_base::usb::UsbString;
using Bytes = std::vector<std::uint8_t>;

TEST(StringDescriptorRulesTest, ReplyValidity) {
  struct Case {
    const char* name;
    Bytes reply;
    std::optional<Bytes> payload;
  };
  const Case cases[] = {
      {"empty", {}, std::nullopt},
      {"header only", {2, 3}, Bytes{}},
      {"odd length", {3, 3, 'a'}, std::nullopt},
      {"first byte shorter than reply", {4, 3, 'a', 0, 'b', 0}, std::nullopt},
      {"first byte longer than reply", {8, 3, 'a', 0}, std::nullopt},
      {"one unit", {4, 3, 'a', 0}, Bytes{'a', 0}},
  };
  for (const auto& c : cases) {
    auto got = kovo_base::usb::string_descriptor_payload(c.reply);
    ASSERT_EQ(got.has_value(), c.payload.has_value()) << c.name;
    if (got) {
      EXPECT_EQ(Bytes(got->begin(), got->end()), *c.payload) << c.name;
    }
  }
}

TEST(StringDescriptorRulesTest, Utf16Decoding) {
  struct Case {
    const char* name;
    Bytes payload;
    std::optional<std::string> text;
  };
  const Case cases[] = {
      {"ascii", {'V', 0, 'o', 0}, "Vo"},
      {"latin", {0xC9, 0x00}, "\xC3\x89"},
      {"surrogate pair", {0x3D, 0xD8, 0x00, 0xDE}, "\xF0\x9F\x98\x80"},
      {"lone high surrogate", {0x3D, 0xD8, 'a', 0}, std::nullopt},
      {"high surrogate at the end", {'a', 0, 0x3D, 0xD8}, std::nullopt},
      {"lone low surrogate", {0x00, 0xDE}, std::nullopt},
  };
  for (const auto& c : cases) EXPECT_EQ(kovo_base::usb::decode_utf16le(c.payload), c.text) << c.name;
}

class UsbStringTest : public UsbTest {
 protected:
  // Reads one string of a device plugged with this setup (an Ombrix is
  // always a candidate, whatever its strings).
  std::optional<std::string> read_from(usb_double::DeviceSpec setup, UsbString which) {
    usb_double::plug(std::move(setup));
    auto candidates = kovo_base::usb::list_usb_candidates();
    if (!candidates || candidates->size() != 1) {
      ADD_FAILURE() << "the device is no candidate";
      return std::nullopt;
    }
    return read_usb_string(candidates->front().device.handle(), which);
  }
};

TEST_F(UsbStringTest, ReadsProductAndSerialInTheFirstLanguage) {
  auto setup = usb_double::ombrix(1, 1);
  setup.product = "Ombrix SAT";
  setup.raw_strings[0] = {6, 3, 0x16, 0x04, 0x09, 0x04};  // pt-BR, then en-US
  EXPECT_EQ(read_from(setup, UsbString::Product), "Ombrix SAT");
  const auto requests = usb_double::control_requests();
  ASSERT_EQ(requests.size(), 2u);
  EXPECT_EQ(requests[0].request_type, 0x80);
  EXPECT_EQ(requests[0].request, 6);
  EXPECT_EQ(requests[0].value, 0x0300);
  EXPECT_EQ(requests[0].index, 0);
  EXPECT_EQ(requests[0].length, 255);
  EXPECT_EQ(requests[1].value, 0x0301);
  EXPECT_EQ(requests[1].index, 0x0416);
  for (const auto& request : requests) EXPECT_EQ(request.timeout_ms, 100u);
}

TEST_F(UsbStringTest, SerialNumber) {
  EXPECT_EQ(read_from(usb_double::ombrix(1, 1), UsbString::SerialNumber), "OMB-0042");
}

TEST_F(UsbStringTest, InvalidRepliesGiveNoText) {
  struct Case {
    const char* name;
    std::map<std::uint8_t, Bytes> raw;
  };
  const Case cases[] = {
      {"no language", {{0, {2, 3}}}},
      {"language list of odd length", {{0, {3, 3, 9}}}},
      {"language list length byte wrong", {{0, {6, 3, 9, 4}}}},
      {"product of odd length", {{1, {5, 3, 'a', 0, 'b'}}}},
      {"product length byte wrong", {{1, {2, 3, 'a', 0}}}},
      {"product not UTF-16", {{1, {4, 3, 0x00, 0xDC}}}},
  };
  for (const auto& c : cases) {
    auto setup = usb_double::ombrix(1, 1);
    setup.raw_strings = c.raw;
    EXPECT_EQ(read_from(setup, UsbString::Product), std::nullopt) << c.name;
    usb_double::reset();
  }
}

TEST_F(UsbStringTest, MissingStringIndexAsksNothingMore) {
  auto setup = usb_double::ombrix(1, 1);
  setup.serial.reset();
  EXPECT_EQ(read_from(setup, UsbString::SerialNumber), std::nullopt);
  EXPECT_EQ(usb_double::control_requests().size(), 1u);
}

TEST_F(UsbStringTest, RequestThatTimesOutGivesNoText) {
  auto setup = usb_double::ombrix(1, 1);
  setup.strings_time_out = true;
  EXPECT_EQ(read_from(setup, UsbString::Product), std::nullopt);
  const auto requests = usb_double::control_requests();
  ASSERT_EQ(requests.size(), 1u);
  EXPECT_EQ(requests[0].timeout_ms, 100u);
  EXPECT_EQ(log_.count("[ERROR]") + log_.count("[WARN]"), 0u);
}

}  // namespace
}  // namespace tavik::testing
