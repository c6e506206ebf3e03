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

// The decoded body is capped: a stream that inflates past max_body_bytes
// fails (Io) as soon as it passes the cap, whatever size it declares, and a
// plain body past the cap is refused before it is copied.
TEST(BodyCap, BodiesUpToTheCapDecodeAndOneByteMoreFails) {
  const std::size_t cap = static_cast<std::size_t>(max_body_bytes);
  const std::string prefix = "004321|";
  const std::string at_cap = prefix + std::string(cap - prefix.size(), 'x');
  const std::string over_cap = at_cap + "x";
  const std::string stream_at_cap = zlib_of(at_cap);
  for (const char* declared : {"0", "33554432", "18446744073709551615"}) {
    const auto body = SatVariant::decode_received(compressed_frame("ConsultarSAT", stream_at_cap, declared));
    ASSERT_TRUE(body) << declared << ": " << body.error().display();
    EXPECT_EQ(body->fields.contents.joined().size(), cap - prefix.size()) << declared;
    const auto over = SatVariant::decode_received(compressed_frame("ConsultarSAT", zlib_of(over_cap), declared));
    ASSERT_FALSE(over) << declared;
    EXPECT_EQ(over.error().kind, Kind::Io) << declared;
  }
  EXPECT_TRUE(SatVariant::decode_received(testing::plain_frame("ConsultarSAT", "6", at_cap)));
  const auto plain_over = SatVariant::decode_received(testing::plain_frame("ConsultarSAT", "6", over_cap));
  ASSERT_FALSE(plain_over);
  EXPECT_EQ(plain_over.error().kind, Kind::Io);
}

// A million empty fields in a few KB: kept as one text, counted and rendered
// from it.
TEST(BodyCap, ManyEmptyFieldsStayOneText) {
  const std::string text = "004321" + std::string(1u << 20, '|');
  const auto body = SatVariant::decode_received(compressed_frame("ConsultarSAT", zlib_of(text), "0"));
  ASSERT_TRUE(body) << body.error().display();
  EXPECT_EQ(body->fields.contents.size(), 1u << 20);  // a "|" before each field
  EXPECT_EQ(body->fields.contents.at((1u << 20) - 1), std::optional<std::string_view>(""));
  EXPECT_FALSE(body->fields.contents.at(1u << 20));
  auto received = *body;
  EXPECT_EQ(into_body_text(std::move(received)), text);
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
