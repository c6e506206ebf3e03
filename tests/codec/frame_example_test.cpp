// The request and answer frames of ConsultarSAT with session 4321, byte for
// byte, and encode/decode round trips over both vocabularies.
#include <gtest/gtest.h>

#include "frame_fixtures.h"

namespace tavik::codec {
namespace {

using testing::text_of;
using testing::view_of;

constexpr std::string_view kRequest =
    "smx\r\n"
    "code:ConsultarSAT\r\n"
    "content-size:6\r\n"
    "content-type:octet-stream\r\n"
    "edc-type:crc16-ccitt\r\n"
    "edc-word:7178\r\n"
    "source:3\r\n"
    "version:1.0\r\n\r\n\r\n"
    "004321";

constexpr std::string_view kAnswer =
    "smx\r\n"
    "code:ConsultarSAT\r\n"
    "content-size:10\r\n"
    "content-type:octet-stream\r\n"
    "edc-type:crc16-ccitt\r\n"
    "edc-word:13208\r\n"
    "source:6\r\n"
    "version:1.0\r\n\r\n\r\n"
    "004321|a|b";

TEST(FrameExample, RequestIsEncodedByteForByte) {
  const SatBody request{SatFunction::ConsultarSAT, Source::Lib, {4321, {}}};
  const auto frame = sat::encode_frame(request, false);
  ASSERT_TRUE(frame) << frame.error().display();
  EXPECT_EQ(frame->size(), 137U);
  EXPECT_EQ(text_of(*frame), kRequest);
}

TEST(FrameExample, AnswerIsEncodedAndDecoded) {
  const SatBody answer{SatFunction::ConsultarSAT, Source::Application, {4321, {"a", "b"}}};
  const auto frame = sat::encode_frame(answer, false);
  ASSERT_TRUE(frame);
  EXPECT_EQ(frame->size(), 143U);
  EXPECT_EQ(text_of(*frame), kAnswer);

  const auto parsed = sat::parse_frame_header(view_of(kAnswer));
  ASSERT_TRUE(parsed) << parsed.error().display();
  EXPECT_EQ(parsed->header, (SatHeader{10, 10, 13208, SatFunction::ConsultarSAT, false, Source::Application}));
  EXPECT_EQ(parsed->rest.size(), 10U);
  const auto body = sat::decode_frame_body(parsed->header, parsed->rest);
  ASSERT_TRUE(body) << body.error().display();
  EXPECT_EQ(*body, answer);
}

TEST(FrameExample, CompressedRequestCarriesStreamAndDecodesBack) {
  const SatBody request{SatFunction::ConsultarSAT, Source::Lib, {4321, {}}};
  const auto frame = sat::encode_frame(request, true);
  ASSERT_TRUE(frame);
  const std::string text = text_of(*frame);
  EXPECT_NE(text.find("content-type:z-compressed\r\ncontent-uncompressed-size:6\r\nedc-type:"), std::string::npos)
      << text;

  const auto parsed = sat::parse_frame_header(*frame);
  ASSERT_TRUE(parsed) << parsed.error().display();
  EXPECT_TRUE(parsed->header.compressed);
  EXPECT_EQ(parsed->header.content_uncompressed_size, 6U);
  // The size and check word describe the zlib stream, which ends the frame.
  ASSERT_EQ(parsed->rest.size(), parsed->header.content_size);
  EXPECT_EQ(parsed->header.edc_word, crc16(parsed->rest));
  EXPECT_EQ(parsed->rest[0], 0x78);  // zlib header, deflate with 32 KiB window

  const auto body = sat::decode_frame_body(parsed->header, parsed->rest);
  ASSERT_TRUE(body) << body.error().display();
  EXPECT_EQ(*body, request);
}

TEST(FrameExample, CheckWords) {
  EXPECT_EQ(testing::crc_of("123456789"), 0x31C3);
  EXPECT_EQ(testing::crc_of("004321"), 7178);
  EXPECT_EQ(testing::crc_of("004321|a|b"), 13208);
  EXPECT_EQ(testing::crc_of(""), 0);
  // Continuing from a previous value equals one pass over the whole.
  EXPECT_EQ(crc16(view_of("56789"), testing::crc_of("1234")), 0x31C3);
}

TEST(FrameExample, EverySatFunctionRoundTrips) {
  for (unsigned value = 0; value <= 15; ++value) {
    for (const bool compress : {false, true}) {
      const SatBody body{static_cast<SatFunction>(value), Source::Application, {12, {"x", "", "ação"}}};
      const auto frame = sat::encode_frame(body, compress);
      ASSERT_TRUE(frame);
      EXPECT_EQ(testing::SatVariant::decode(text_of(*frame)), body) << value << " compressed " << compress;
    }
  }
}

TEST(FrameExample, NegativeSatSessionIsWrittenButNotReadBack) {
  // The SAT grammar reads only leading digits, so "-00012" cannot come back.
  const auto frame = sat::encode_frame({SatFunction::ConsultarSAT, Source::Lib, {-12, {}}}, false);
  ASSERT_TRUE(frame);
  EXPECT_TRUE(text_of(*frame).ends_with("\r\n-00012"));
  const auto body = testing::SatVariant::decode(text_of(*frame));
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().nom_kind, NomKind::Digit);
}

TEST(FrameExample, EveryMfeMessageTypeRoundTrips) {
  for (unsigned value = 0; value <= 5; ++value) {
    for (const Source source : {Source::Lib, Source::Application, Source::Broadcast}) {
      const MfeBody body{static_cast<MfeMessageType>(value), source, {std::nullopt, {"abc", "1.0.0"}}};
      const auto frame = mfe::encode_frame(body, value % 2 == 0);
      ASSERT_TRUE(frame);
      EXPECT_EQ(testing::MfeVariant::decode(text_of(*frame)), body) << value;
    }
  }
}

TEST(FrameExample, TrocarCodigoDeAtivacaoIsWrittenByItsNameAndReadByBoth) {
  const auto frame = sat::encode_frame({SatFunction::TrocarCodigoDeAtivacao, Source::Lib, {1, {}}}, false);
  ASSERT_TRUE(frame);
  EXPECT_NE(text_of(*frame).find("code:TrocarCodigoDeAtivacao\r\n"), std::string::npos);

  for (const auto name : {"TrocarCodigoDeAtivacao", "TrocarCodigoAtivacao"}) {
    const auto body = testing::SatVariant::decode(testing::plain_frame(name, "6", "000001"));
    ASSERT_TRUE(body) << name;
    EXPECT_EQ(body->code, SatFunction::TrocarCodigoDeAtivacao);
  }
}

TEST(FrameExample, MfeBodyTextWithAndWithoutSession) {
  EXPECT_EQ(body_text(MfeFields{7, {"a", "b"}}), "000007|a|b");
  EXPECT_EQ(body_text(MfeFields{std::nullopt, {"a", "b"}}), "a|b");
  EXPECT_EQ(body_text(MfeFields{std::nullopt, {}}), "");
  EXPECT_EQ(body_text(SatFields{4321, {}}), "004321");
  // Elements are not escaped: a "|" inside one reads back as two fields.
  EXPECT_EQ(body_text(SatFields{1, {"a|b"}}), "000001|a|b");
}

TEST(FrameExample, ValuesOutsideTheEnumerationsAreNotWritten) {
  const auto bad_code = sat::encode_frame({static_cast<SatFunction>(16), Source::Lib, {1, {}}}, false);
  ASSERT_FALSE(bad_code);
  EXPECT_EQ(bad_code.error().kind, ProtocolError::Kind::Gen);
  const auto bad_source = mfe::encode_frame({MfeMessageType::Beacon, static_cast<Source>(3), {1, {}}}, false);
  ASSERT_FALSE(bad_source);
  EXPECT_EQ(bad_source.error().kind, ProtocolError::Kind::Gen);
}

}  // namespace
}  // namespace tavik::codec
