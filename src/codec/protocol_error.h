#pragma once
// The frame codec's own error enumeration. It never leaves the codec's
// adapters, which fold it into ConnectionError::Protocol; only the beacon
// reader logs its text.
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tavik::codec {

enum class NomKind : std::uint8_t { Tag, IsA, TakeUntil, Digit, Eof };

struct ProtocolError {
  enum class Kind : std::uint8_t {
    FunctionCode,
    ContentType,
    EdcType,
    Source,
    Crc16,
    MissingUncompressedSize,
    UnexpectedTavikV1Code,
    NomParsing,
    NomIncomplete,
    Io,
    FromUtf8,
    ParseInt,
    Gen,
  };

  Kind kind = Kind::FunctionCode;
  std::vector<std::uint8_t> input;          // NomParsing: the unparsed input bytes
  NomKind nom_kind = NomKind::Tag;          // NomParsing: which rule failed
  std::optional<std::uint64_t> needed;      // NomIncomplete: Size(n), or Unknown
  std::uint8_t code = 0;                    // UnexpectedTavikV1Code
  std::string message;                      // Io, FromUtf8, ParseInt, Gen: the lower-level text

  // Display text, e.g. "Crc16" or "NomParsing([115, 109], Tag)".
  std::string display() const;
};

}  // namespace tavik::codec
