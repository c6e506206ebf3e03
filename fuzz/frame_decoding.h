#pragma once
// One received frame through a variant's header parser and body decoder,
// with the invariants that hold for any input.
#include <cstdlib>

#include "codec/frame.h"
#include "codec/received_body.h"

namespace tavik::codec::fuzzing {

inline void require(bool condition) {
  if (!condition) std::abort();
}

inline void check_error(const ProtocolError& error) {
  // The copy of the input in parse errors stays bounded however long the frame.
  require(error.input.size() <= 1024);
  (void)error.display();
}

// decode_received is the library's form of decode: the same verdict, the
// same fields found in its one text, the same result text built in place.
template <class Parse, class Decode, class DecodeReceived>
void decode_any_frame(ByteView input, Parse parse, Decode decode, DecodeReceived decode_received) {
  const auto parsed = parse(input);
  if (!parsed) return check_error(parsed.error());
  require(parsed->rest.data() >= input.data() && parsed->rest.data() + parsed->rest.size() == input.data() + input.size());
  if (!parsed->header.compressed) require(parsed->header.content_uncompressed_size == parsed->header.content_size);

  const auto body = decode(parsed->header, parsed->rest);
  auto received = decode_received(parsed->header, parsed->rest);
  require(body.has_value() == received.has_value());
  if (!body) return check_error(body.error());
  require(body->code == parsed->header.code && body->source == parsed->header.source);
  require(!debug_string(*body).empty());

  require(received->fields.num_session == body->fields.num_session);
  require(received->fields.contents.size() == body->fields.contents.size());
  require(received->fields.contents == body->fields.contents);
  require(debug_string(*received) == debug_string(*body));
  require(received->fields.contents.joined().size() <= max_body_bytes);
  require(into_body_text(std::move(*received)) == body_text(body->fields));
}

}  // namespace tavik::codec::fuzzing
