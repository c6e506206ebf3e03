#include <fmt/format.h>

#include "codec/frame.h"

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

// Values outside an enumeration still show, as their number.
template <class Enum>
std::string enum_name(Enum value) {
  const auto name = name_of(value);
  return name.empty() ? fmt::format("{}", static_cast<unsigned>(value)) : std::string(name);
}

}  // namespace

std::string debug_string(const SatBody& body) {
  return fmt::format("Body {{ code: {}, source: {}, fields: Fields {{ num_session: {}, contents: {} }} }}",
                     enum_name(body.code), enum_name(body.source), body.fields.num_session,
                     contents_list(body.fields.contents));
}

std::string debug_string(const MfeBody& body) {
  const auto session =
      body.fields.num_session ? fmt::format("Some({})", *body.fields.num_session) : std::string("None");
  return fmt::format("Body {{ code: {}, source: {}, fields: Fields {{ num_session: {}, contents: {} }} }}",
                     enum_name(body.code), enum_name(body.source), session, contents_list(body.fields.contents));
}

}  // namespace tavik::codec
