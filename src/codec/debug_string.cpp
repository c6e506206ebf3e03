#include <fmt/format.h>

#include "codec/frame.h"
#include "codec/received_body.h"

namespace tavik::codec {
namespace {

// A text in double quotes with the usual escapes; other control characters
// as \u{..}.
void append_quoted(std::string& out, std::string_view text) {
  out += '"';
  for (const char c : text) {
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\r': out += "\\r"; break;
      case '\t': out += "\\t"; break;
      case '\0': out += "\\0"; break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F) {
          out += fmt::format("\\u{{{:x}}}", static_cast<unsigned>(static_cast<unsigned char>(c)));
        } else {
          out += c;
        }
    }
  }
  out += '"';
}

std::string contents_list(const std::vector<std::string>& contents) {
  std::string out = "[";
  for (std::size_t i = 0; i < contents.size(); ++i) {
    if (i > 0) out += ", ";
    append_quoted(out, contents[i]);
  }
  out += ']';
  return out;
}

// Straight from the received text, without a string per field.
std::string contents_list(const FieldText& contents) {
  std::string out = "[";
  if (!contents.empty()) {
    std::string_view rest = contents.joined();
    for (bool first = true;; first = false) {
      if (!first) out += ", ";
      const std::size_t bar = rest.find('|');
      append_quoted(out, rest.substr(0, bar));
      if (bar == std::string_view::npos) break;
      rest.remove_prefix(bar + 1);
    }
  }
  out += ']';
  return out;
}

std::string session_text(std::int32_t number) { return fmt::format("{}", number); }
std::string session_text(const std::optional<std::int32_t>& number) {
  return number ? fmt::format("Some({})", *number) : std::string("None");
}

// Values outside an enumeration still show, as their number.
template <class Enum>
std::string enum_name(Enum value) {
  const auto name = name_of(value);
  return name.empty() ? fmt::format("{}", static_cast<unsigned>(value)) : std::string(name);
}

template <class Body>
std::string render(const Body& body) {
  return fmt::format("Body {{ code: {}, source: {}, fields: Fields {{ num_session: {}, contents: {} }} }}",
                     enum_name(body.code), enum_name(body.source), session_text(body.fields.num_session),
                     contents_list(body.fields.contents));
}

}  // namespace

std::string debug_string(const SatBody& body) { return render(body); }
std::string debug_string(const MfeBody& body) { return render(body); }
std::string debug_string(const ReceivedSatBody& body) { return render(body); }
std::string debug_string(const ReceivedMfeBody& body) { return render(body); }

}  // namespace tavik::codec
