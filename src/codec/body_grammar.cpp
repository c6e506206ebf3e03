#include "codec/body_grammar.h"

#include <algorithm>
#include <cstring>

#include "codec/decimal.h"
#include "codec/errors.h"
#include "codec/utf8.h"
#include "codec/zlib_stream.h"

namespace tavik::codec::detail {
namespace {

// The declared uncompressed size comes from the device and is only a capacity
// hint: it is never trusted beyond what the stream could possibly inflate to
// (deflate expands at most about 1032:1), nor beyond a few MiB.
constexpr std::uint64_t kMaxDeflateRatio = 1032;
constexpr std::uint64_t kMaxReservation = 8U << 20;

std::size_t reservation_for(const BodyFrameValues& header) {
  const std::uint64_t possible =
      header.content_size >= kMaxReservation ? kMaxReservation : header.content_size * kMaxDeflateRatio + 64;
  return static_cast<std::size_t>(std::min({header.content_uncompressed_size, possible, kMaxReservation}));
}

// Fields: each a "|" and the run of bytes up to the next "|", possibly empty.
// Stops at the first position that does not begin with "|".
void split_fields(std::string_view rest, bool known_valid, std::vector<std::string>& out) {
  while (!rest.empty() && rest.front() == '|') {
    rest.remove_prefix(1);
    const void* bar = std::memchr(rest.data(), '|', rest.size());
    const std::size_t length =
        bar == nullptr ? rest.size() : static_cast<std::size_t>(static_cast<const char*>(bar) - rest.data());
    out.push_back(to_owned_text(rest.substr(0, length), known_valid));
    rest.remove_prefix(length);
  }
}

std::size_t leading_digits(std::string_view text) {
  std::size_t count = 0;
  while (count < text.size() && text[count] >= '0' && text[count] <= '9') ++count;
  return count;
}

}  // namespace

std::expected<BodyText, ProtocolError> take_body_text(const BodyFrameValues& header, ByteView received) {
  if (received.size() < header.content_size) return std::unexpected(nom_error(received, NomKind::Eof));
  const ByteView bytes = received.first(static_cast<std::size_t>(header.content_size));
  if (crc16(bytes) != header.edc_word) return std::unexpected(error_of(ProtocolError::Kind::Crc16));
  if (!header.compressed) return BodyText::plain(bytes);

  auto text = zlib_inflate(bytes, reservation_for(header));
  if (!text) return std::unexpected(error_with_message(ProtocolError::Kind::Io, std::move(text.error())));
  if (const auto error = find_utf8_error(*text)) {
    return std::unexpected(error_with_message(ProtocolError::Kind::Io,
                                              "stream did not contain valid UTF-8: " + utf8_error_text(*error)));
  }
  return BodyText::inflated(std::move(*text));
}

std::expected<SatFields, ProtocolError> split_sat_body(const BodyText& body) {
  const std::string_view text = body.text();
  const std::size_t digits = leading_digits(text);
  if (digits == 0) return std::unexpected(nom_error(text, NomKind::Digit));
  auto session = parse_i32(text.substr(0, digits));
  if (!session) return std::unexpected(error_with_message(ProtocolError::Kind::ParseInt, std::move(session.error())));

  SatFields fields;
  fields.num_session = *session;
  split_fields(text.substr(digits), body.known_valid_utf8(), fields.contents);
  return fields;
}

std::expected<MfeFields, ProtocolError> split_mfe_body(const BodyText& body) {
  const std::string_view text = body.text();
  const std::size_t bar = text.find('|');
  if (bar == std::string_view::npos) return std::unexpected(nom_error(text, NomKind::TakeUntil));
  const std::string_view first_item = text.substr(0, bar);

  MfeFields fields;
  if (auto session = parse_i32(first_item)) {
    fields.num_session = *session;
  } else {
    fields.contents.push_back(to_owned_text(first_item, body.known_valid_utf8()));
  }
  split_fields(text.substr(bar), body.known_valid_utf8(), fields.contents);
  return fields;
}

}  // namespace tavik::codec::detail
