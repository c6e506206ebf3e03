#pragma once
// Small constructors for ProtocolError values, used across the codec.
#include <cstddef>
#include <string>

#include "codec/frame.h"
#include "codec/protocol_error.h"

namespace tavik::codec::detail {

// The copy of the unparsed input only feeds log lines; a frame can be
// megabytes long, so only its beginning is kept.
inline constexpr std::size_t kMaxNomInputCopy = 1024;

inline ProtocolError error_of(ProtocolError::Kind kind) {
  ProtocolError error;
  error.kind = kind;
  return error;
}

inline ProtocolError error_with_message(ProtocolError::Kind kind, std::string message) {
  ProtocolError error;
  error.kind = kind;
  error.message = std::move(message);
  return error;
}

inline ProtocolError nom_error(ByteView at, NomKind nom_kind) {
  ProtocolError error;
  error.kind = ProtocolError::Kind::NomParsing;
  error.nom_kind = nom_kind;
  const auto kept = at.size() < kMaxNomInputCopy ? at.size() : kMaxNomInputCopy;
  error.input.assign(at.begin(), at.begin() + static_cast<std::ptrdiff_t>(kept));
  return error;
}

inline ProtocolError nom_error(std::string_view at, NomKind nom_kind) {
  return nom_error(ByteView(reinterpret_cast<const std::uint8_t*>(at.data()), at.size()), nom_kind);
}

}  // namespace tavik::codec::detail
