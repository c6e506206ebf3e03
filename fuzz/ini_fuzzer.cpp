// Any valid UTF-8 text through the settings parser. A text that parses is
// written back in the plainest form of the dialect and must parse to the same
// record. Every line also goes through the line classifier on its own, and
// the value conversions are checked against simple reference readers.
#include <charconv>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec/utf8.h"
#include "fuzz_require.h"
#include "mfe/settings/ini_lines.h"
#include "mfe/settings/ini_values.h"
#include "mfe/settings/parse_settings.h"

using tavik::fuzzing::require;
namespace mfe = tavik::mfe;
namespace ini = tavik::mfe::ini;

namespace {

void put_text(std::string& out, std::string_view key, const std::optional<std::string>& value) {
  if (value) out.append(key).append("=").append(*value).append("\n");
}

void put_number(std::string& out, std::string_view key, const std::optional<std::uint8_t>& value) {
  if (value) out.append(key).append("=").append(std::to_string(*value)).append("\n");
}

std::string write_settings(const mfe::Settings& settings) {
  std::string out = "[logging]\n";
  put_text(out, "level", settings.logging.level);
  put_text(out, "file", settings.logging.file);
  const mfe::Connection& connection = settings.connection;
  out += "[Connection]\n";
  out += connection.continuous ? "continuous=true\n" : "continuous=false\n";
  out += connection.method == mfe::ConnectionMethod::Usb ? "method=Usb\n" : "method=Network\n";
  put_number(out, "hub", connection.hub);
  put_number(out, "port", connection.port);
  put_text(out, "serial", connection.serial);
  put_text(out, "ip", connection.ip);
  out += "[protocol]\n";
  out += settings.protocol.compression ? "compression=true" : "compression=false";
  return out;
}

void check_settings_text(std::string_view text) {
  for (const std::string_view line : ini::split_lines(text)) {
    require(line.find('\n') == std::string_view::npos);
    const auto classified = ini::classify_line(line);
    if (!classified) {
      require(!classified.error().display().empty());
      continue;
    }
    if (const auto* assignment = std::get_if<ini::Assignment>(&*classified)) {
      require(ini::trim_whitespace(assignment->key) == assignment->key);
      require(ini::trim_whitespace(assignment->value) == assignment->value);
    }
  }

  const auto parsed = mfe::parse_settings(text);
  if (!parsed) {
    require(!parsed.error().display().empty() && !parsed.error().debug().empty());
    return;
  }
  require(!mfe::debug(*parsed).empty());
  const auto reparsed = mfe::parse_settings(write_settings(*parsed));
  require(reparsed.has_value() && *reparsed == *parsed);
}

// Decimal digits with an optional leading "+", at most 255.
std::optional<unsigned> reference_u8(std::string_view value) {
  if (value.starts_with('+')) value.remove_prefix(1);
  if (value.empty()) return std::nullopt;
  for (const char c : value) {
    if (c < '0' || c > '9') return std::nullopt;
  }
  while (value.size() > 1 && value.front() == '0') value.remove_prefix(1);
  unsigned number = 0;
  if (value.size() > 3 || std::from_chars(value.data(), value.data() + value.size(), number).ec != std::errc{} ||
      number > 255) {
    return std::nullopt;
  }
  return number;
}

void check_value(std::string_view value) {
  const auto number = ini::parse_u8(value);
  const auto expected = reference_u8(value);
  require(number.has_value() == expected.has_value());
  if (number) require(*number == *expected);
  if (!number) {
    const std::string text = number.error().display();
    require(text == "cannot parse integer from empty string" || text == "invalid digit found in string" ||
            text == "number too large to fit in target type");
  }
  const auto flag = ini::parse_bool(value);
  require(flag.has_value() == (value == "true" || value == "false"));
  if (flag) require(*flag == (value == "true"));
  const auto method = ini::parse_method(value);
  require(method.has_value() == (value == "Usb" || value == "Network"));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  // The settings file reaches the parser only as valid UTF-8.
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  if (tavik::codec::detail::find_utf8_error(text)) return 0;
  check_settings_text(text);
  check_value(text);
  check_value(ini::trim_whitespace(text));
  return 0;
}
