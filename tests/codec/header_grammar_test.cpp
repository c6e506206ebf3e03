// The header grammar and the value checks, one table per variant: each row
// edits the request frame of session 4321 and names the expected outcome.
#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "frame_fixtures.h"

namespace tavik::codec {
namespace {

using testing::MfeVariant;
using testing::Outcome;
using testing::SatVariant;
using Kind = ProtocolError::Kind;

// "{CODE}" stands for the variant's own code name.
constexpr std::string_view kTemplate =
    "smx\r\ncode:{CODE}\r\ncontent-size:6\r\ncontent-type:octet-stream\r\n"
    "edc-type:crc16-ccitt\r\nedc-word:7178\r\nsource:3\r\nversion:1.0\r\n\r\n\r\n004321";

struct HeaderRow {
  const char* name;
  std::vector<std::pair<std::string, std::string>> edits;  // first occurrence of each is replaced
  Outcome expected;
};

std::string edited_frame(const HeaderRow& row, std::string_view code) {
  std::string frame(kTemplate);
  for (const auto& [from, to] : row.edits) {
    const auto at = frame.find(from);
    EXPECT_NE(at, std::string::npos) << row.name << ": " << from;
    if (at != std::string::npos) frame.replace(at, from.size(), to);
  }
  const auto at = frame.find("{CODE}");
  if (at != std::string::npos) frame.replace(at, 6, code);
  return frame;
}

// Rows whose outcome is the same in both variants.
std::vector<HeaderRow> common_rows() {
  return {
      {"unchanged", {}, Outcome::ok()},
      {"two colons after a name", {{"code:", "code::"}}, Outcome::ok()},
      {"many colons after a name", {{"source:", "source:::"}}, Outcome::ok()},
      {"blank lines between header lines", {{"content-size:6\r\n", "content-size:6\r\n\r\n\n\r"}}, Outcome::ok()},
      {"edc-word with a plus sign", {{"edc-word:7178", "edc-word:+7178"}}, Outcome::ok()},
      {"content-size with a plus sign", {{"content-size:6", "content-size:+6"}}, Outcome::ok()},
      {"uncompressed size on a plain body is not examined",
       {{"edc-type:", "content-uncompressed-size:not a number\r\nedc-type:"}},
       Outcome::ok()},
      {"space after colon in code", {{"code:", "code: "}}, Outcome::fails(Kind::FunctionCode)},
      {"space after colon in content-size", {{"content-size:", "content-size: "}}, Outcome::fails(Kind::ParseInt)},
      {"space after colon in content-type", {{"content-type:", "content-type: "}}, Outcome::fails(Kind::ContentType)},
      {"space after colon in edc-type", {{"edc-type:", "edc-type: "}}, Outcome::fails(Kind::EdcType)},
      {"space after colon in edc-word", {{"edc-word:", "edc-word: "}}, Outcome::fails(Kind::ParseInt)},
      {"space after colon in source", {{"source:", "source: "}}, Outcome::fails(Kind::Source)},
      {"edc-word 65536", {{"edc-word:7178", "edc-word:65536"}}, Outcome::fails(Kind::ParseInt)},
      {"edc-word negative", {{"edc-word:7178", "edc-word:-1"}}, Outcome::fails(Kind::ParseInt)},
      {"edc-word empty", {{"edc-word:7178", "edc-word:"}}, Outcome::fails(Kind::ParseInt)},
      {"content-size beyond 64 bits", {{"content-size:6", "content-size:18446744073709551616"}},
       Outcome::fails(Kind::ParseInt)},
      {"line ended by LF alone swallows the next line", {{"content-size:6\r\n", "content-size:6\n"}},
       Outcome::nom(NomKind::Tag)},
      {"unknown content-type", {{"octet-stream", "text/plain"}}, Outcome::fails(Kind::ContentType)},
      {"compressed without uncompressed size", {{"octet-stream", "z-compressed"}},
       Outcome::fails(Kind::MissingUncompressedSize)},
      {"compressed with a bad uncompressed size",
       {{"octet-stream\r\n", "z-compressed\r\ncontent-uncompressed-size:six\r\n"}},
       Outcome::fails(Kind::ParseInt)},
      {"wrong edc-type", {{"crc16-ccitt", "crc32"}}, Outcome::fails(Kind::EdcType)},
      {"code checked before source", {{"code:{CODE}", "code:Nope"}, {"source:3", "source:9"}},
       Outcome::fails(Kind::FunctionCode)},
      {"source checked before edc-type", {{"source:3", "source:9"}, {"crc16-ccitt", "crc32"}},
       Outcome::fails(Kind::Source)},
      {"edc-type checked before edc-word", {{"crc16-ccitt", "crc32"}, {"edc-word:7178", "edc-word:x"}},
       Outcome::fails(Kind::EdcType)},
      {"content-size checked before content-type", {{"content-size:6", "content-size:y"}, {"octet-stream", "?"}},
       Outcome::fails(Kind::ParseInt)},
      {"code that is not UTF-8", {{"code:{CODE}", "code:\xff"}}, Outcome::fails(Kind::FromUtf8)},
      {"wrong magic", {{"smx", "smy"}}, Outcome::nom(NomKind::Tag)},
      {"header names are case-sensitive", {{"edc-type", "EDC-type"}}, Outcome::nom(NomKind::Tag)},
      {"missing line", {{"source:3\r\n", ""}}, Outcome::nom(NomKind::Tag)},
      {"lines out of order", {{"edc-type:crc16-ccitt\r\nedc-word:7178", "edc-word:7178\r\nedc-type:crc16-ccitt"}},
       Outcome::nom(NomKind::Tag)},
      {"no colon after a name", {{"code:", "code"}}, Outcome::nom(NomKind::IsA)},
      {"other version", {{"version:1.0", "version:2.0"}}, Outcome::nom(NomKind::Tag)},
      {"version block without its empty lines", {{"1.0\r\n\r\n\r\n", "1.0\r\n"}}, Outcome::nom(NomKind::Tag)},
  };
}

template <class Variant>
void check_rows(const std::vector<HeaderRow>& rows) {
  for (const auto& row : rows) {
    const auto frame = edited_frame(row, Variant::kCode);
    const auto parsed = Variant::parse(frame);
    EXPECT_TRUE(testing::matches(parsed, row.expected))
        << row.name << ": got " << testing::describe(parsed) << ", expected " << testing::describe(row.expected);
    if (!parsed || row.expected.error) continue;
    // Accepted headers still describe the same 6-byte body.
    EXPECT_EQ(parsed->header.content_size, 6U) << row.name;
    EXPECT_EQ(parsed->header.content_uncompressed_size, 6U) << row.name;
    EXPECT_EQ(parsed->header.edc_word, 7178) << row.name;
    EXPECT_FALSE(parsed->header.compressed) << row.name;
    EXPECT_EQ(testing::text_of(Bytes(parsed->rest.begin(), parsed->rest.end())), "004321") << row.name;
  }
}

TEST(SatHeaderGrammar, Table) {
  auto rows = common_rows();
  rows.push_back({"source 6", {{"source:3", "source:6"}}, Outcome::ok()});
  rows.push_back({"source 5 is MFE only", {{"source:3", "source:5"}}, Outcome::fails(Kind::Source)});
  rows.push_back({"second name of value 15", {{"code:{CODE}", "code:TrocarCodigoAtivacao"}}, Outcome::ok()});
  rows.push_back({"MFE code", {{"code:{CODE}", "code:HeartBeatPDV"}}, Outcome::fails(Kind::FunctionCode)});
  check_rows<SatVariant>(rows);
}

TEST(MfeHeaderGrammar, Table) {
  auto rows = common_rows();
  rows.push_back({"source 6", {{"source:3", "source:6"}}, Outcome::ok()});
  rows.push_back({"source 5", {{"source:3", "source:5"}}, Outcome::ok()});
  rows.push_back({"SAT-only second name", {{"code:{CODE}", "code:TrocarCodigoAtivacao"}},
                  Outcome::fails(Kind::FunctionCode)});
  rows.push_back({"SAT code", {{"code:{CODE}", "code:ConsultarSAT"}}, Outcome::fails(Kind::FunctionCode)});
  check_rows<MfeVariant>(rows);
}

TEST(HeaderGrammar, SourcesMapToTheirValues) {
  const std::pair<const char*, Source> sources[] = {
      {"3", Source::Lib}, {"6", Source::Application}, {"5", Source::Broadcast}};
  for (const auto& [digit, source] : sources) {
    const auto parsed = MfeVariant::parse(testing::plain_frame("Beacon", digit, "x|y"));
    ASSERT_TRUE(parsed) << digit;
    EXPECT_EQ(parsed->header.source, source) << digit;
  }
}

TEST(HeaderGrammar, EveryCutShortHeaderFailsAsParseError) {
  const std::string frame = testing::plain_frame("ConsultarSAT", "3", "004321");
  const auto header_size = frame.size() - 6;
  for (std::size_t size = 0; size < header_size; ++size) {
    const auto parsed = SatVariant::parse(std::string_view(frame).substr(0, size));
    ASSERT_FALSE(parsed) << size;
    EXPECT_EQ(parsed.error().kind, Kind::NomParsing) << size;
  }
}

TEST(HeaderGrammar, ParseErrorKeepsTheInputAtTheFailure) {
  const auto parsed = SatVariant::parse("sm");
  ASSERT_FALSE(parsed);
  EXPECT_EQ(parsed.error().display(), "NomParsing([115, 109], Tag)");

  const auto no_colon = SatVariant::parse("smx\r\ncodeX");
  ASSERT_FALSE(no_colon);
  EXPECT_EQ(no_colon.error().display(), "NomParsing([88], IsA)");

  const auto no_line_end = SatVariant::parse("smx\r\ncode:AB");
  ASSERT_FALSE(no_line_end);
  EXPECT_EQ(no_line_end.error().display(), "NomParsing([65, 66], TakeUntil)");
}

TEST(HeaderGrammar, ParseErrorCopyOfAHugeInputIsBounded) {
  const std::string garbage(1 << 20, 'q');
  const auto parsed = SatVariant::parse(garbage);
  ASSERT_FALSE(parsed);
  EXPECT_EQ(parsed.error().kind, Kind::NomParsing);
  EXPECT_EQ(parsed.error().input.size(), 1024U);
}

}  // namespace
}  // namespace tavik::codec
