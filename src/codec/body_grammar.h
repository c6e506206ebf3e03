#pragma once
// The body decoder shared by both variants: take the announced bytes, check
// the word, inflate, and find the fields by each variant's grammar. The text
// is owned once; fields are never copied out of it here.
#include <cstdint>
#include <expected>
#include <string>

#include "codec/protocol_error.h"
#include "codec/received_body.h"

namespace tavik::codec::detail {

struct BodyFrameValues {
  std::uint64_t content_size = 0;
  std::uint64_t content_uncompressed_size = 0;
  std::uint16_t edc_word = 0;
  bool compressed = false;
};

template <class Header>
BodyFrameValues body_values_of(const Header& header) {
  return {header.content_size, header.content_uncompressed_size, header.edc_word, header.compressed};
}

// The first content_size bytes (Eof when fewer), their check word (Crc16),
// then the text: inflated when compressed (Io when corrupt, not UTF-8 or
// beyond max_body_bytes), else the bytes with U+FFFD for each invalid
// sequence (Io beyond max_body_bytes).
std::expected<std::string, ProtocolError> take_body_text(const BodyFrameValues& header, ByteView received);

std::expected<ReceivedSatFields, ProtocolError> split_sat_body(std::string text);
std::expected<ReceivedMfeFields, ProtocolError> split_mfe_body(std::string text);

}  // namespace tavik::codec::detail
