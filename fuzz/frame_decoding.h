#pragma once
// One received frame through a variant's header parser and body decoder,
// with the invariants that hold for any input.
#include <cstdlib>

#include "codec/frame.h"

namespace tavik::codec::fuzzing {

inline void require(bool condition) {
  if (!condition) std::abort();
}

inline void check_error(const ProtocolError& error) {
  // The copy of the input in parse errors stays bounded however long the frame.
  require(error.input.size() <= 1024);
  (void)error.display();
}

template <class Parse, class Decode>
void decode_any_frame(ByteView input, Parse parse, Decode decode) {
  const auto parsed = parse(input);
  if (!parsed) return check_error(parsed.error());
  require(parsed->rest.data() >= input.data() && parsed->rest.data() + parsed->rest.size() == input.data() + input.size());
  if (!parsed->header.compressed) require(parsed->header.content_uncompressed_size == parsed->header.content_size);

  const auto body = decode(parsed->header, parsed->rest);
  if (!body) return check_error(body.error());
  require(body->code == parsed->header.code && body->source == parsed->header.source);
  require(!debug_string(*body).empty());
}

}  // namespace tavik::codec::fuzzing
