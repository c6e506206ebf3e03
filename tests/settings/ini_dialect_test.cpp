// The INI dialect as one table: a file's text and what it parses to.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <variant>

#include "mfe/settings/parse_settings.h"
#include "settings_printing.h"

namespace tavik::mfe {
namespace {

// The defaults of a parsed file with the row's changes.
Settings with(const std::function<void(Settings&)>& change) {
  Settings settings;
  change(settings);
  return settings;
}
const Settings kDefaults{};

IniError syntax(IniSyntax kind) { return IniError::syntax(kind); }
IniError custom(const char* message) { return IniError::custom(message); }
const IniError kMissingEquals = syntax(IniSyntax::MissingEquals);
const IniError kNotBoolean = custom("provided string was not `true` or `false`");

struct Row {
  const char* name;
  std::string text;
  std::variant<Settings, IniError> outcome;
};

const Row kRows[] = {
    // Section headers.
    {"bom_before_header", "\xEF\xBB\xBF[logging]\nlevel=debug", kMissingEquals},
    {"header_with_trailing_space", "[logging] \nlevel=debug", syntax(IniSyntax::SectionNotClosed)},
    {"lone_bracket", "[", syntax(IniSyntax::SectionNotClosed)},
    {"capitalised_logging", "[Logging]\nlevel=info", with([](Settings& s) { s.logging.level = "info"; })},
    {"capitalised_connection", "[Connection]\ncontinuous=false",
     with([](Settings& s) { s.connection.continuous = false; })},
    {"capitalised_protocol", "[Protocol]\ncompression=true", with([](Settings& s) { s.protocol.compression = true; })},
    {"both_forms_of_one_section", "[logging]\nlevel=a\n[Logging]\nfile=b", custom("duplicate field `logging`")},
    {"same_section_twice", "[protocol]\n[protocol]", custom("duplicate field `protocol`")},
    {"upper_case_section_skipped", "[LOGGING]\nlevel=debug", kDefaults},
    {"spaced_section_name_skipped", "[ logging ]\nlevel=debug", kDefaults},
    {"bracket_inside_name", "[logging]]", syntax(IniSyntax::SectionNameHasBracket)},
    {"indented_header", " [logging]", kMissingEquals},
    {"unknown_section_skipped_without_conversion", "[extra]\ncontinuous=True\nhub=999\nanything=at all", kDefaults},
    {"unknown_twice_is_fine", "[extra]\n[extra]\n[logging]\nlevel=x",
     with([](Settings& s) { s.logging.level = "x"; })},
    // Lines, keys and values.
    {"empty_file", "", kDefaults},
    {"empty_key_skipped", "[logging]\n=x", kDefaults},
    {"spaces_around_equals", "[logging]\nlevel = debug", with([](Settings& s) { s.logging.level = "debug"; })},
    {"unicode_space_trimmed", "[logging]\nlevel=\xC2\xA0" "debug\xE3\x80\x80",
     with([](Settings& s) { s.logging.level = "debug"; })},
    {"top_level_unknown_key_skipped", "level=debug\n[logging]", kDefaults},
    {"further_equals_in_value", "[logging]\nfile=C:/a=b.log", with([](Settings& s) { s.logging.file = "C:/a=b.log"; })},
    {"no_inline_comments", "[logging]\nlevel=debug ; verbose",
     with([](Settings& s) { s.logging.level = "debug ; verbose"; })},
    {"empty_text_value_is_present", "[logging]\nlevel=\nfile=",
     with([](Settings& s) { s.logging.level = ""; s.logging.file = ""; })},
    {"comments_skipped", "; a\n# b\n[logging]\n#level=x\n;file=y", kDefaults},
    {"indented_comment", "[logging]\n  ; note", kMissingEquals},
    {"line_of_spaces", "[logging]\nlevel=a\n   \nfile=b", kMissingEquals},
    {"empty_line_skipped", "[logging]\nlevel=a\n\nfile=b",
     with([](Settings& s) { s.logging.level = "a"; s.logging.file = "b"; })},
    {"crlf_line_ends", "[logging]\r\nlevel=debug\r\n\r\n[protocol]\r\ncompression=true\r\n",
     with([](Settings& s) { s.logging.level = "debug"; s.protocol.compression = true; })},
    {"upper_case_key_skipped", "[logging]\nLevel=debug", kDefaults},
    {"unknown_key_skipped", "[connection]\nspeed=fast", kDefaults},
    {"duplicate_key", "[connection]\nhub=1\nhub=2", custom("duplicate field `hub`")},
    {"duplicate_reported_before_bad_value", "[connection]\ncontinuous=true\ncontinuous=yes",
     custom("duplicate field `continuous`")},
    {"same_key_in_two_sections", "[logging]\nfile=a\n[connection]\nserial=x\n[extra]\nfile=b",
     with([](Settings& s) { s.logging.file = "a"; s.connection.serial = "x"; })},
    {"section_name_as_top_level_key", "logging=x", custom("invalid type: string \"x\", expected struct Logging")},
    {"capitalised_section_as_top_level_key", "Protocol=", custom("invalid type: string \"\", expected struct Protocol")},
    // Booleans.
    {"boolean_true_case", "[connection]\ncontinuous=True", kNotBoolean},
    {"boolean_digit", "[connection]\ncontinuous=1", kNotBoolean},
    {"boolean_empty", "[protocol]\ncompression=", kNotBoolean},
    // The connection method.
    {"method_network", "[connection]\nmethod=Network",
     with([](Settings& s) { s.connection.method = ConnectionMethod::Network; })},
    {"method_lower_case", "[connection]\nmethod=usb", custom("unknown variant `usb`, expected `Usb` or `Network`")},
    // Unsigned 8-bit numbers.
    {"u8_plus_sign", "[connection]\nhub=+7", with([](Settings& s) { s.connection.hub = 7; })},
    {"u8_bounds_and_zeros", "[connection]\nhub=0\nport=00255",
     with([](Settings& s) { s.connection.hub = 0; s.connection.port = 255; })},
    {"u8_too_large", "[connection]\nhub=256", custom("number too large to fit in target type")},
    {"u8_negative", "[connection]\nport=-1", custom("invalid digit found in string")},
    {"u8_sign_only", "[connection]\nport=+", custom("invalid digit found in string")},
    {"u8_letters", "[connection]\nport=4a", custom("invalid digit found in string")},
    {"u8_empty", "[connection]\nhub=", custom("cannot parse integer from empty string")},
    {"u8_first_fault_wins", "[connection]\nhub=300x", custom("number too large to fit in target type")},
    // The first error ends the parse.
    {"first_error_wins", "[connection]\ncontinuous=True\n[logging", kNotBoolean},
    {"syntax_error_after_good_values", "[logging]\nlevel=debug\noops", kMissingEquals},
    // A complete file.
    {"complete_file",
     "[logging]\nlevel=debug\nfile=C:/logs/mfe.log\n[connection]\ncontinuous=true\nmethod=Usb\nhub=1\nport=4\n"
     "serial=ABC 123\nip=10.0.0.5\n[protocol]\ncompression=false\n",
     with([](Settings& s) {
       s.logging = {"debug", "C:/logs/mfe.log"};
       s.connection.hub = 1;
       s.connection.port = 4;
       s.connection.serial = "ABC 123";
       s.connection.ip = "10.0.0.5";
     })},
};

class IniDialect : public testing::TestWithParam<Row> {};

TEST_P(IniDialect, ParsesToTheExpectedOutcome) {
  const Row& row = GetParam();
  const auto parsed = parse_settings(row.text);
  if (const auto* expected = std::get_if<Settings>(&row.outcome)) {
    ASSERT_TRUE(parsed.has_value()) << parsed.error().debug();
    EXPECT_EQ(*parsed, *expected);
  } else {
    ASSERT_FALSE(parsed.has_value()) << debug(*parsed);
    EXPECT_EQ(parsed.error(), std::get<IniError>(row.outcome));
  }
}

INSTANTIATE_TEST_SUITE_P(Table, IniDialect, testing::ValuesIn(kRows),
                         [](const testing::TestParamInfo<Row>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tavik::mfe
