#pragma once
// The body decoder shared by both variants: take the announced bytes, check
// the word, inflate, and split the text into fields by each variant's grammar.
#include <cstdint>
#include <expected>
#include <string>
#include <string_view>

#include "codec/frame.h"
#include "codec/protocol_error.h"

namespace tavik::codec::detail {

// The body's text: a view of the received bytes for a plain body (not yet
// checked as UTF-8), or the inflated text of a compressed one (checked).
class BodyText {
 public:
  static BodyText plain(ByteView bytes) {
    BodyText body;
    body.plain_ = {reinterpret_cast<const char*>(bytes.data()), bytes.size()};
    return body;
  }
  static BodyText inflated(std::string text) {
    BodyText body;
    body.inflated_ = std::move(text);
    body.is_inflated_ = true;
    return body;
  }

  std::string_view text() const { return is_inflated_ ? std::string_view(inflated_) : plain_; }
  bool known_valid_utf8() const { return is_inflated_; }

 private:
  std::string_view plain_;
  std::string inflated_;
  bool is_inflated_ = false;
};

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
// then the inflated text when compressed (Io when corrupt or not UTF-8).
std::expected<BodyText, ProtocolError> take_body_text(const BodyFrameValues& header, ByteView received);

std::expected<SatFields, ProtocolError> split_sat_body(const BodyText& body);
std::expected<MfeFields, ProtocolError> split_mfe_body(const BodyText& body);

}  // namespace tavik::codec::detail
