// The address parser, the beacon reader and the choice of device: pure
// functions over texts, frames and candidate lists.
#include <gtest/gtest.h>

#include "codec/frame.h"
#include "kovo_base/tcp/beacon.h"
#include "kovo_base/tcp/ipv4.h"
#include "kovo_base/tcp/open_tcp.h"
#include "log_capture.h"
#include "tcp_fixture.h"

namespace tavik::testing {
namespace {

using kovo_base::tcp::Ipv4;
using kovo_base::tcp::Opener;

TEST(Ipv4ParserTest, AcceptsOnlyStrictDottedDecimal) {
  struct Case {
    const char* text;
    std::optional<Ipv4> expected;
  };
  const Case cases[] = {
      {"127.0.0.1", Ipv4{127, 0, 0, 1}},
      {"0.0.0.0", Ipv4{0, 0, 0, 0}},
      {"255.255.255.255", Ipv4{255, 255, 255, 255}},
      {"10.20.30.40", Ipv4{10, 20, 30, 40}},
      {"256.0.0.1", std::nullopt},
      {"1.2.3", std::nullopt},
      {"1.2.3.4.5", std::nullopt},
      {"01.2.3.4", std::nullopt},
      {"1.2.3.00", std::nullopt},
      {" 1.2.3.4", std::nullopt},
      {"1.2.3.4 ", std::nullopt},
      {"1.2.3.4:9014", std::nullopt},
      {"1..3.4", std::nullopt},
      {"1.2.3.", std::nullopt},
      {"1234.1.1.1", std::nullopt},
      {"1.2.3.-4", std::nullopt},
      {"a.b.c.d", std::nullopt},
      {"", std::nullopt},
      {"::1", std::nullopt},
      {"001.002.003.004", std::nullopt},  // 15 characters, still leading zeros
      {"0000000001.2.3.4", std::nullopt},
  };
  for (const Case& c : cases) {
    auto parsed = kovo_base::tcp::parse_ipv4(c.text);
    if (c.expected) {
      ASSERT_TRUE(parsed) << c.text;
      EXPECT_EQ(*parsed, *c.expected) << c.text;
    } else {
      ASSERT_FALSE(parsed) << c.text;
      EXPECT_EQ(parsed.error(), "invalid IPv4 address syntax") << c.text;
    }
  }
}

TEST(BeaconParserTest, SerialIsTheLeadingNumberPaddedToSix) {
  struct Case {
    codec::Bytes datagram;
    std::optional<std::string> serial;
  };
  codec::Bytes wrong_crc = mfe_frame("000123|VortaMfe|1.0.0");
  wrong_crc.back() ^= 0x01;  // the body no longer matches its edc-word
  const Case cases[] = {
      {mfe_frame("42|VortaMfe|1.0.0"), "000042"},
      {mfe_frame("1234567|VortaMfe|1.0.0"), "1234567"},
      {mfe_frame("-5|VortaMfe|1.0.0"), "-00005"},
      {mfe_frame("0042|VortaMfe|1.0.0"), "000042"},
      {mfe_frame("900000123|Ombrix|2"), "900000123"},
      {mfe_frame("serial|VortaMfe|1.0.0"), std::nullopt},
      {mfe_frame("000123"), std::nullopt},  // no "|": the body does not parse
      {wrong_crc, std::nullopt},
      {codec::Bytes{'n', 'o', 'i', 's', 'e'}, std::nullopt},
      {{}, std::nullopt},
      // Any MFE kind from any source counts when its body begins with a number.
      {mfe_frame("77|x", codec::MfeMessageType::HeartBeatPDV, codec::Source::Lib), "000077"},
      {mfe_frame("78|x", codec::MfeMessageType::InformarProducaoMFE, codec::Source::Application), "000078"},
      {compressed_beacon(79), "000079"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(kovo_base::tcp::parse_beacon(c.datagram), c.serial)
        << std::string(c.datagram.begin(), c.datagram.end());
  }
}

TEST(BeaconParserTest, UndecodableFramesAreLoggedAsErrors) {
  LogCapture log;
  codec::Bytes wrong_crc = mfe_frame("000123|VortaMfe|1.0.0");
  wrong_crc.back() ^= 0x01;
  EXPECT_FALSE(kovo_base::tcp::parse_beacon(codec::Bytes{'x'}));
  EXPECT_FALSE(kovo_base::tcp::parse_beacon(wrong_crc));
  EXPECT_FALSE(kovo_base::tcp::parse_beacon(mfe_frame("text|x")));
  EXPECT_EQ(log.count("[ERROR]", "Failed to parse header: NomParsing("), 1u) << log.text();
  EXPECT_EQ(log.count("[ERROR]", "Failed to parse body: Crc16 (Crc16)"), 1u) << log.text();
  // A body that decodes but does not begin with a number is silently no beacon.
  EXPECT_EQ(log.count("[ERROR]"), 2u) << log.text();
}

class ChooseDeviceTest : public ModelsFixture {
 protected:
  // A discovery that hands out these devices and counts its calls.
  std::function<kovo_base::Result<std::vector<Opener>>()> discovery(std::vector<Opener> heard) {
    return [this, heard] {
      ++discoveries_;
      return kovo_base::Result<std::vector<Opener>>(heard);
    };
  }
  Opener heard(std::string ip, std::string serial, std::size_t model = 0) {
    return Opener{std::move(ip), std::move(serial), kovo_base::tcp::tcp_models().at(model)};
  }
  int discoveries_ = 0;
};

TEST_F(ChooseDeviceTest, FilterRulesPickTheLastCandidate) {
  const std::vector<Opener> network = {heard("10.0.0.1", "000123", 0), heard("10.0.0.2", "000456", 1),
                                       heard("10.0.0.1", "000123", 1)};
  struct Case {
    std::optional<std::string> ip;
    std::optional<std::string> serial;
    std::optional<std::pair<std::string, kovo_base::DeviceModel>> chosen;  // ip and model
  };
  using kovo_base::DeviceModel;
  const Case cases[] = {
      {std::nullopt, std::nullopt, std::pair{"10.0.0.1", DeviceModel::Ombrix}},
      {std::nullopt, "000456", std::pair{"10.0.0.2", DeviceModel::Ombrix}},
      {std::nullopt, "000123", std::pair{"10.0.0.1", DeviceModel::Ombrix}},
      {std::nullopt, "123", std::nullopt},  // leading zeros matter
      {std::nullopt, "000123 ", std::nullopt},
      {"10.0.0.2", "000456", std::pair{"10.0.0.2", DeviceModel::Ombrix}},
      {"10.0.0.2", "000123", std::nullopt},
      {"10.0.0.9", "000123", std::nullopt},
  };
  for (const Case& c : cases) {
    auto chosen = kovo_base::tcp::choose_device({std::nullopt, std::nullopt, c.ip, c.serial}, discovery(network));
    ASSERT_TRUE(chosen);
    ASSERT_EQ(chosen->has_value(), c.chosen.has_value()) << c.ip.value_or("-") << " " << c.serial.value_or("-");
    if (c.chosen) {
      EXPECT_EQ((*chosen)->ip, c.chosen->first);
      EXPECT_EQ((*chosen)->info->model, c.chosen->second);
    }
  }
  EXPECT_EQ(discoveries_, int(std::size(cases)));
}

TEST_F(ChooseDeviceTest, AddressAloneSkipsDiscovery) {
  auto chosen = kovo_base::tcp::choose_device({1, 2, "not an address", std::nullopt}, discovery({}));
  ASSERT_TRUE(chosen && *chosen);
  EXPECT_EQ((*chosen)->ip, "not an address");  // parsed only when connecting
  EXPECT_EQ((*chosen)->serial, "NA");
  EXPECT_EQ((*chosen)->info->model, kovo_base::DeviceModel::VortaMfe);
  EXPECT_EQ(discoveries_, 0);
}

TEST_F(ChooseDeviceTest, DiscoveryFailureIsPassedOn) {
  auto chosen = kovo_base::tcp::choose_device({}, [] {
    return kovo_base::Result<std::vector<Opener>>(std::unexpect, kovo_base::ConnectionError::protocol());
  });
  ASSERT_FALSE(chosen);
  EXPECT_EQ(chosen.error(), kovo_base::ConnectionError::protocol());
}

TEST(ChooseDeviceWithoutModelsTest, AddressAloneFindsNothing) {
  kovo_base::tcp::testing::clear_tcp_models();
  auto chosen = kovo_base::tcp::choose_device({std::nullopt, std::nullopt, "10.0.0.1", std::nullopt}, [] {
    return kovo_base::Result<std::vector<Opener>>(std::vector<Opener>{});
  });
  ASSERT_TRUE(chosen);
  EXPECT_FALSE(chosen->has_value());
}

TEST(OpenerRenderingTest, ListShowsFieldsInOrder) {
  const std::vector<Opener> list = {{"10.0.0.1", "000123", nullptr}, {"10.0.0.2", "N\"A", nullptr}};
  EXPECT_EQ(kovo_base::tcp::debug(list),
            "[Opener { info: <omitted>, ip: \"10.0.0.1\", serial: \"000123\" }, "
            "Opener { info: <omitted>, ip: \"10.0.0.2\", serial: \"N\\\"A\" }]");
  EXPECT_EQ(kovo_base::tcp::debug(std::vector<Opener>{}), "[]");
}

}  // namespace
}  // namespace tavik::testing
