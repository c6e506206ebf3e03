// The texts that reach log lines: error displays and body debug renderings.
#include <gtest/gtest.h>

#include "frame_fixtures.h"

namespace tavik::codec {
namespace {

using Kind = ProtocolError::Kind;

TEST(ProtocolErrorDisplay, Texts) {
  auto with = [](Kind kind, auto&& fill) {
    ProtocolError error;
    error.kind = kind;
    fill(error);
    return error.display();
  };
  auto nothing = [](ProtocolError&) {};
  const std::pair<std::string, std::string> cases[] = {
      {with(Kind::FunctionCode, nothing), "FunctionCode"},
      {with(Kind::ContentType, nothing), "ContentType"},
      {with(Kind::EdcType, nothing), "EdcType"},
      {with(Kind::Source, nothing), "Source"},
      {with(Kind::Crc16, nothing), "Crc16"},
      {with(Kind::MissingUncompressedSize, nothing), "MissingUncompressedSize"},
      {with(Kind::UnexpectedTavikV1Code, [](ProtocolError& e) { e.code = 200; }), "200"},
      {with(Kind::NomParsing, [](ProtocolError& e) { e.input = {115, 109}; }), "NomParsing([115, 109], Tag)"},
      {with(Kind::NomParsing, [](ProtocolError& e) { e.nom_kind = NomKind::Eof; }), "NomParsing([], Eof)"},
      {with(Kind::NomIncomplete, nothing), "NomIncomplete(Unknown)"},
      {with(Kind::NomIncomplete, [](ProtocolError& e) { e.needed = 3; }), "NomIncomplete(Size(3))"},
      {with(Kind::ParseInt, [](ProtocolError& e) { e.message = "invalid digit found in string"; }),
       "invalid digit found in string"},
  };
  for (const auto& [actual, expected] : cases) EXPECT_EQ(actual, expected);
}

TEST(ProtocolErrorDisplay, LowerLevelErrorsCarryTheirText) {
  const auto body = testing::SatVariant::decode("smx\r\ncode:ConsultarSAT\r\ncontent-size:1x\r\n"
                                                "content-type:octet-stream\r\nedc-type:crc16-ccitt\r\n"
                                                "edc-word:0\r\nsource:3\r\nversion:1.0\r\n\r\n\r\n");
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().kind, Kind::ParseInt);
  EXPECT_FALSE(body.error().display().empty());
}

TEST(BodyDebugString, Renderings) {
  EXPECT_EQ(debug_string(SatBody{SatFunction::ConsultarSAT, Source::Lib, {4321, {"a", "b"}}}),
            "Body { code: ConsultarSAT, source: Lib, fields: Fields { num_session: 4321, contents: [\"a\", \"b\"] } }");
  EXPECT_EQ(debug_string(MfeBody{MfeMessageType::Beacon, Source::Broadcast, {123, {}}}),
            "Body { code: Beacon, source: Broadcast, fields: Fields { num_session: Some(123), contents: [] } }");
  EXPECT_EQ(debug_string(MfeBody{MfeMessageType::EnviarStatusAC, Source::Application, {std::nullopt, {"q\"\\\n\x01"}}}),
            "Body { code: EnviarStatusAC, source: Application, fields: Fields { num_session: None, "
            "contents: [\"q\\\"\\\\\\n\\u{1}\"] } }");
}

}  // namespace
}  // namespace tavik::codec
