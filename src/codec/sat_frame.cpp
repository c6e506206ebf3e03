// The SAT variant: SatFunction codes, sources "3" and "6", and a body that
// always begins with the session number.
#include "codec/body_grammar.h"
#include "codec/frame_encoder.h"
#include "codec/header_grammar.h"
#include "codec/received_body.h"
#include "codec/vocabulary.h"

namespace tavik::codec::sat {

std::expected<Bytes, ProtocolError> encode_frame(const SatBody& body, bool compress) {
  return detail::encode_frame_text(name_of(body.code), detail::source_digit(body.source), body_text(body.fields),
                                   compress);
}

std::expected<ParsedHeader<SatHeader>, ProtocolError> parse_frame_header(ByteView input) {
  return detail::parse_header<SatFunction>(input, detail::sat_function_from_name, detail::sat_source_from_digit);
}

std::expected<ReceivedSatBody, ProtocolError> decode_received_body(const SatHeader& header, ByteView body) {
  auto text = detail::take_body_text(detail::body_values_of(header), body);
  if (!text) return std::unexpected(std::move(text.error()));
  auto fields = detail::split_sat_body(std::move(*text));
  if (!fields) return std::unexpected(std::move(fields.error()));
  return ReceivedSatBody{header.code, header.source, std::move(*fields)};
}

std::expected<SatBody, ProtocolError> decode_frame_body(const SatHeader& header, ByteView body) {
  auto received = decode_received_body(header, body);
  if (!received) return std::unexpected(std::move(received.error()));
  return received->to_body();
}

}  // namespace tavik::codec::sat
