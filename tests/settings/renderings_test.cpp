// Debug renderings that reach the start-up Trace line, and the INI error's
// two texts.
#include <gtest/gtest.h>

#include "mfe/settings/ini_error.h"
#include "mfe/settings/settings.h"

namespace tavik::mfe {
namespace {

TEST(SettingsDebug, DefaultRecord) {
  EXPECT_EQ(debug(Settings{}),
            "Settings { logging: Logging { level: None, file: None }, connection: Connection { continuous: true, "
            "method: Usb, hub: None, port: None, serial: None, ip: None }, protocol: Protocol { compression: false } }");
}

TEST(SettingsDebug, PresentValuesAreSomeAndTextsQuotedWithEscapes) {
  Settings settings;
  settings.logging.level = "";
  settings.logging.file = "C:\\logs\\\"mfe\".log";
  settings.connection = {false, ConnectionMethod::Network, 255, 0, "a\tb\rc\x01", "10.0.0.1"};
  settings.protocol.compression = true;
  EXPECT_EQ(debug(settings),
            "Settings { logging: Logging { level: Some(\"\"), file: Some(\"C:\\\\logs\\\\\\\"mfe\\\".log\") }, "
            "connection: Connection { continuous: false, method: Network, hub: Some(255), port: Some(0), "
            "serial: Some(\"a\\tb\\rc\\u{1}\"), ip: Some(\"10.0.0.1\") }, protocol: Protocol { compression: true } }");
}

TEST(SettingsDebug, LoadResult) {
  const kovo_base::Result<Settings> loaded = Settings{};
  EXPECT_EQ(debug(loaded), "Ok(" + debug(Settings{}) + ")");
  const kovo_base::Result<Settings> failed =
      std::unexpected(to_connection_error(IniError::syntax(IniSyntax::SectionNotClosed)));
  EXPECT_EQ(debug(failed), "Err(IniParse(Syntax(\"section missing ']'\")))");
}

TEST(IniErrorText, SyntaxAndCustomForms) {
  const struct {
    IniError error;
    const char* display;
    const char* debug;
  } cases[] = {
      {IniError::syntax(IniSyntax::SectionNotClosed), "INI syntax error: section missing ']'",
       "Syntax(\"section missing ']'\")"},
      {IniError::syntax(IniSyntax::SectionNameHasBracket), "INI syntax error: section name contains ']'",
       "Syntax(\"section name contains ']'\")"},
      {IniError::syntax(IniSyntax::MissingEquals), "INI syntax error: variable assignment missing '='",
       "Syntax(\"variable assignment missing '='\")"},
      {IniError::custom("invalid type: string \"x\", expected struct Logging"),
       "invalid type: string \"x\", expected struct Logging",
       "Custom(\"invalid type: string \\\"x\\\", expected struct Logging\")"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.error.display(), c.display);
    EXPECT_EQ(c.error.debug(), c.debug);
  }
}

TEST(IniErrorText, CarriedAsIniParseWithTheDebugRenderingAsDisplay) {
  const auto error = to_connection_error(IniError::custom("duplicate field `hub`"));
  EXPECT_EQ(error.kind(), kovo_base::ConnectionError::Kind::IniParse);
  EXPECT_EQ(error.display(), "Custom(\"duplicate field `hub`\")");
}

}  // namespace
}  // namespace tavik::mfe
