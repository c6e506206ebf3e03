// Compressed bodies: inflation, its failures, and the declared uncompressed
// size, which is only a capacity hint.
#include <gtest/gtest.h>

#include <string>

#include "frame_fixtures.h"

namespace tavik::codec {
namespace {

using testing::compressed_frame;
using testing::SatVariant;
using testing::zlib_of;
using Kind = ProtocolError::Kind;

TEST(CompressedBody, DeclaredSizeIsOnlyAHint) {
  const std::string text = "004321|" + std::string(100000, 'x') + "|end";
  for (const char* declared : {"0", "1", "6", "100011", "18446744073709551615"}) {
    const auto body = SatVariant::decode(compressed_frame("ConsultarSAT", zlib_of(text), declared));
    ASSERT_TRUE(body) << declared << ": " << body.error().display();
    ASSERT_EQ(body->fields.contents.size(), 2U) << declared;
    EXPECT_EQ(body->fields.contents[0].size(), 100000U) << declared;
    EXPECT_EQ(body->fields.contents[1], "end") << declared;
  }
}

TEST(CompressedBody, InflatedTextMustBeUtf8) {
  const auto body = SatVariant::decode(compressed_frame("ConsultarSAT", zlib_of("004321|a\xff"), "9"));
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().kind, Kind::Io);
}

TEST(CompressedBody, CorruptStreamsFailWithIo) {
  const std::string good = zlib_of("004321|a|b");
  std::string bad_adler = good;
  bad_adler.back() = static_cast<char>(bad_adler.back() ^ 1);
  std::string bad_header = good;
  bad_header[0] = 0x00;
  const std::pair<const char*, std::string> streams[] = {
      {"truncated", good.substr(0, good.size() - 3)},
      {"wrong Adler-32", bad_adler},
      {"bad zlib header", bad_header},
      {"empty", ""},
      {"raw text", "004321|a|b"},
  };
  for (const auto& [name, stream] : streams) {
    const auto body = SatVariant::decode(compressed_frame("ConsultarSAT", stream, "10"));
    ASSERT_FALSE(body) << name;
    EXPECT_EQ(body.error().kind, Kind::Io) << name << ": " << body.error().display();
  }
}

TEST(CompressedBody, CheckWordIsVerifiedBeforeInflating) {
  std::string frame = compressed_frame("ConsultarSAT", "not a zlib stream", "6");
  const auto at = frame.find("edc-word:") + 9;
  frame.replace(at, frame.find('\r', at) - at, "1");
  const auto body = SatVariant::decode(frame);
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().kind, Kind::Crc16);
}

TEST(CompressedBody, BytesAfterTheStreamWithinTheBodyAreIgnored) {
  const auto body = SatVariant::decode(compressed_frame("ConsultarSAT", zlib_of("004321|a") + "junk", "8"));
  ASSERT_TRUE(body) << body.error().display();
  EXPECT_EQ(body->fields, (SatFields{4321, {"a"}}));
}

TEST(CompressedBody, MfeBodyRoundTripsThroughTheEncoder) {
  const MfeBody sent{MfeMessageType::HeartBeatPDV, Source::Lib, {std::nullopt, {"x", std::string(5000, 'y'), ""}}};
  const auto frame = mfe::encode_frame(sent, true);
  ASSERT_TRUE(frame);
  const auto received = testing::MfeVariant::decode(testing::text_of(*frame));
  ASSERT_TRUE(received) << received.error().display();
  EXPECT_EQ(*received, sent);
}

}  // namespace
}  // namespace tavik::codec
