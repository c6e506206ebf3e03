// The MFE variant: MfeMessageType codes, sources "3", "6" and "5", and a body
// whose session number is optional.
#include "codec/body_grammar.h"
#include "codec/frame_encoder.h"
#include "codec/header_grammar.h"
#include "codec/received_body.h"
#include "codec/vocabulary.h"

namespace tavik::codec::mfe {

std::expected<Bytes, ProtocolError> encode_frame(const MfeBody& body, bool compress) {
  return detail::encode_frame_text(name_of(body.code), detail::source_digit(body.source), body_text(body.fields),
                                   compress);
}

std::expected<ParsedHeader<MfeHeader>, ProtocolError> parse_frame_header(ByteView input) {
  return detail::parse_header<MfeMessageType>(input, detail::mfe_message_type_from_name, detail::mfe_source_from_digit);
}

std::expected<ReceivedMfeBody, ProtocolError> decode_received_body(const MfeHeader& header, ByteView body) {
  auto text = detail::take_body_text(detail::body_values_of(header), body);
  if (!text) return std::unexpected(std::move(text.error()));
  auto fields = detail::split_mfe_body(std::move(*text));
  if (!fields) return std::unexpected(std::move(fields.error()));
  return ReceivedMfeBody{header.code, header.source, std::move(*fields)};
}

std::expected<MfeBody, ProtocolError> decode_frame_body(const MfeHeader& header, ByteView body) {
  auto received = decode_received_body(header, body);
  if (!received) return std::unexpected(std::move(received.error()));
  return received->to_body();
}

}  // namespace tavik::codec::mfe
