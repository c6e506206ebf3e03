// The body grammars of both variants on plain frames, one table per variant,
// and the rules shared by both: size, trailing bytes and the check word.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "frame_fixtures.h"

namespace tavik::codec {
namespace {

using testing::MfeVariant;
using testing::Outcome;
using testing::SatVariant;
using testing::view_of;
using Kind = ProtocolError::Kind;

constexpr const char* kReplacement = "\xEF\xBF\xBD";

template <class Fields>
struct BodyRow {
  const char* name;
  std::string body;
  Outcome expected;
  Fields fields{};
};

template <class Variant, class Fields>
void check_rows(const std::vector<BodyRow<Fields>>& rows) {
  for (const auto& row : rows) {
    const auto body = Variant::decode(testing::plain_frame(Variant::kCode, "6", row.body));
    EXPECT_TRUE(testing::matches(body, row.expected))
        << row.name << ": got " << testing::describe(body) << ", expected " << testing::describe(row.expected);
    if (body && !row.expected.error) {
      EXPECT_EQ(body->fields, row.fields) << row.name << ": got " << debug_string(*body);
      EXPECT_EQ(body->source, Source::Application) << row.name;
      // The received form: fields found in the one text, and the result text
      // built in its buffer, equal to rendering the fields anew.
      auto received = Variant::decode_received(testing::plain_frame(Variant::kCode, "6", row.body));
      ASSERT_TRUE(received) << row.name;
      EXPECT_EQ(received->fields.num_session, row.fields.num_session) << row.name;
      EXPECT_EQ(received->fields.contents.size(), row.fields.contents.size()) << row.name;
      EXPECT_TRUE(received->fields.contents == row.fields.contents) << row.name;
      for (std::size_t i = 0; i <= row.fields.contents.size(); ++i) {
        const auto field = received->fields.contents.at(i);
        if (i < row.fields.contents.size()) {
          EXPECT_EQ(field, std::optional<std::string_view>(row.fields.contents[i])) << row.name << " field " << i;
        } else {
          EXPECT_FALSE(field) << row.name << ": a field past the last";
        }
      }
      EXPECT_EQ(debug_string(*received), debug_string(*body)) << row.name;
      EXPECT_EQ(into_body_text(std::move(*received)), body_text(row.fields)) << row.name;
    }
  }
}

TEST(SatBodyGrammar, Table) {
  using Row = BodyRow<SatFields>;
  const std::string replacement = kReplacement;
  check_rows<SatVariant>(std::vector<Row>{
      {"fields with an empty one", "004321|a||b", Outcome::ok(), {4321, {"a", "", "b"}}},
      {"one empty field", "004321|", Outcome::ok(), {4321, {""}}},
      {"no fields", "004321", Outcome::ok(), {4321, {}}},
      {"session without padding", "7|x", Outcome::ok(), {7, {"x"}}},
      {"largest session", "2147483647|x", Outcome::ok(), {2147483647, {"x"}}},
      {"text after the digits is ignored", "004321abc|x", Outcome::ok(), {4321, {}}},
      {"UTF-8 fields", "004321|ação|€", Outcome::ok(), {4321, {"ação", "€"}}},
      {"invalid byte becomes U+FFFD", "004321|a\xff" "b", Outcome::ok(), {4321, {"a" + replacement + "b"}}},
      {"sequence cut short by a bar", "004321|\xE2\x82|x", Outcome::ok(), {4321, {replacement, "x"}}},
      {"sequence cut short by the end", "004321|\xE2\x82", Outcome::ok(), {4321, {replacement}}},
      {"overlong encoding", "004321|\xC0\xAF", Outcome::ok(), {4321, {replacement + replacement}}},
      {"surrogate", "004321|\xED\xA0\x80", Outcome::ok(), {4321, {replacement + replacement + replacement}}},
      {"negative session", "-00012|x", Outcome::nom(NomKind::Digit)},
      {"leading letter", "a|x", Outcome::nom(NomKind::Digit)},
      {"empty body", "", Outcome::nom(NomKind::Digit)},
      {"session beyond 32 bits", "99999999999|x", Outcome::fails(Kind::ParseInt)},
      {"session just beyond i32", "2147483648", Outcome::fails(Kind::ParseInt)},
  });
}

TEST(MfeBodyGrammar, Table) {
  using Row = BodyRow<MfeFields>;
  const std::string replacement = kReplacement;
  check_rows<MfeVariant>(std::vector<Row>{
      {"session and a field", "000123|x", Outcome::ok(), {123, {"x"}}},
      {"first item that is not a number", "abc|x", Outcome::ok(), {std::nullopt, {"abc", "x"}}},
      {"empty first item", "|x", Outcome::ok(), {std::nullopt, {"", "x"}}},
      {"negative session", "-5|x", Outcome::ok(), {-5, {"x"}}},
      {"session with plus sign", "+5|x", Outcome::ok(), {5, {"x"}}},
      {"session and one empty field", "000123|", Outcome::ok(), {123, {""}}},
      {"number beyond 32 bits is a field", "99999999999|x", Outcome::ok(), {std::nullopt, {"99999999999", "x"}}},
      {"sign alone is a field", "-|x", Outcome::ok(), {std::nullopt, {"-", "x"}}},
      {"beacon", "000123|VortaMfe|1.0.0", Outcome::ok(), {123, {"VortaMfe", "1.0.0"}}},
      {"invalid first item becomes U+FFFD", "\xff|x", Outcome::ok(), {std::nullopt, {replacement, "x"}}},
      {"no bar at all", "abc", Outcome::nom(NomKind::TakeUntil)},
      {"session without fields", "000123", Outcome::nom(NomKind::TakeUntil)},
      {"empty body", "", Outcome::nom(NomKind::TakeUntil)},
  });
}

TEST(BodyDecoding, EmptyBodyHasCheckWordZero) {
  const auto frame = testing::plain_frame("ConsultarSAT", "6", "");
  EXPECT_NE(frame.find("content-size:0\r\n"), std::string::npos);
  EXPECT_NE(frame.find("edc-word:0\r\n"), std::string::npos);
}

TEST(BodyDecoding, BytesAfterTheBodyAreIgnored) {
  const auto body = SatVariant::decode(testing::plain_frame("ConsultarSAT", "6", "004321|a") + "|b\r\nsmx\r\n");
  ASSERT_TRUE(body) << body.error().display();
  EXPECT_EQ(body->fields, (SatFields{4321, {"a"}}));
}

TEST(BodyDecoding, ShortBodyFailsWithEofAndNeverReadsBeyond) {
  const std::string frame = testing::plain_frame("ConsultarSAT", "6", "004321|a|b");
  const auto parsed = SatVariant::parse(frame);
  ASSERT_TRUE(parsed);
  // A copy holding only the short body, so that a read past it is caught by
  // the sanitizers.
  const std::vector<std::uint8_t> short_body(parsed->rest.begin(), parsed->rest.end() - 1);
  const auto body = sat::decode_frame_body(parsed->header, short_body);
  ASSERT_FALSE(body);
  EXPECT_EQ(body.error().display(), "NomParsing([48, 48, 52, 51, 50, 49, 124, 97, 124], Eof)");
}

TEST(BodyDecoding, WrongCheckWordFailsWithCrc16) {
  for (const char* edited : {"edc-word:7179", "edc-word:0"}) {
    std::string frame = testing::plain_frame("ConsultarSAT", "6", "004321");
    frame.replace(frame.find("edc-word:7178"), 13, edited);
    const auto body = SatVariant::decode(frame);
    ASSERT_FALSE(body) << edited;
    EXPECT_EQ(body.error().kind, Kind::Crc16) << edited;
  }
}

TEST(BodyDecoding, SessionNumbersAreFormattedToSixPlaces) {
  const std::pair<std::int32_t, const char*> cases[] = {
      {4321, "004321"}, {-12, "-00012"}, {1234567, "1234567"}, {0, "000000"},
      {-2147483647 - 1, "-2147483648"}, {2147483647, "2147483647"}};
  for (const auto& [number, text] : cases) EXPECT_EQ(format_session_number(number), text);
}

}  // namespace
}  // namespace tavik::codec
