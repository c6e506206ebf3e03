#include "codec/protocol_error.h"

#include <fmt/format.h>

namespace tavik::codec {
namespace {

const char* nom_kind_name(NomKind kind) {
  switch (kind) {
    case NomKind::Tag: return "Tag";
    case NomKind::IsA: return "IsA";
    case NomKind::TakeUntil: return "TakeUntil";
    case NomKind::Digit: return "Digit";
    case NomKind::Eof: return "Eof";
  }
  return "Unknown";
}

}  // namespace

std::string ProtocolError::display() const {
  switch (kind) {
    case Kind::FunctionCode: return "FunctionCode";
    case Kind::ContentType: return "ContentType";
    case Kind::EdcType: return "EdcType";
    case Kind::Source: return "Source";
    case Kind::Crc16: return "Crc16";
    case Kind::MissingUncompressedSize: return "MissingUncompressedSize";
    case Kind::UnexpectedTavikV1Code: return fmt::format("{}", code);
    case Kind::NomParsing:
      return fmt::format("NomParsing([{}], {})", fmt::join(input, ", "), nom_kind_name(nom_kind));
    case Kind::NomIncomplete:
      return needed ? fmt::format("NomIncomplete(Size({}))", *needed) : std::string("NomIncomplete(Unknown)");
    case Kind::Io:
    case Kind::FromUtf8:
    case Kind::ParseInt:
    case Kind::Gen:
      return message;
  }
  return "Unknown";
}

}  // namespace tavik::codec
