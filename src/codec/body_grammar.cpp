#include "codec/body_grammar.h"

#include <algorithm>

#include <fmt/format.h>

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

ProtocolError too_large(std::uint64_t size, std::uint64_t cap) {
  return error_with_message(ProtocolError::Kind::Io, fmt::format("body of {} bytes exceeds {} bytes", size, cap));
}

std::size_t leading_digits(std::string_view text) {
  std::size_t count = 0;
  while (count < text.size() && text[count] >= '0' && text[count] <= '9') ++count;
  return count;
}

}  // namespace

std::expected<std::string, ProtocolError> take_body_text(const BodyFrameValues& header, ByteView received) {
  if (received.size() < header.content_size) return std::unexpected(nom_error(received, NomKind::Eof));
  const ByteView bytes = received.first(static_cast<std::size_t>(header.content_size));
  if (crc16(bytes) != header.edc_word) return std::unexpected(error_of(ProtocolError::Kind::Crc16));
  const std::string_view raw(reinterpret_cast<const char*>(bytes.data()), bytes.size());
  if (!header.compressed) {
    if (raw.size() > max_body_bytes) return std::unexpected(too_large(raw.size(), max_body_bytes));
    // "|" is ASCII and never inside an invalid sequence, so replacing over the
    // whole text gives the same fields as replacing field by field.
    std::string text;
    append_lossy_utf8(text, raw);
    return text;
  }
  if (raw.size() > max_transmitted_body_bytes) return std::unexpected(too_large(raw.size(), max_transmitted_body_bytes));
  auto text = zlib_inflate(bytes, reservation_for(header), static_cast<std::size_t>(max_body_bytes));
  if (!text) return std::unexpected(error_with_message(ProtocolError::Kind::Io, std::move(text.error())));
  if (const auto error = find_utf8_error(*text)) {
    return std::unexpected(error_with_message(ProtocolError::Kind::Io,
                                              "stream did not contain valid UTF-8: " + utf8_error_text(*error)));
  }
  return std::move(*text);
}

// Fields: each a "|" and the run of bytes up to the next "|", possibly
// empty; splitting stops at the first position that does not begin with
// "|", which can only be right after the digits.
std::expected<ReceivedSatFields, ProtocolError> split_sat_body(std::string text) {
  const std::size_t digits = leading_digits(text);
  if (digits == 0) return std::unexpected(nom_error(std::string_view(text), NomKind::Digit));
  auto session = parse_i32(std::string_view(text).substr(0, digits));
  if (!session) return std::unexpected(error_with_message(ProtocolError::Kind::ParseInt, std::move(session.error())));
  const bool any = digits < text.size() && text[digits] == '|';
  return ReceivedSatFields{*session, FieldText(std::move(text), digits + 1, any)};
}

std::expected<ReceivedMfeFields, ProtocolError> split_mfe_body(std::string text) {
  const std::size_t bar = text.find('|');
  if (bar == std::string::npos) return std::unexpected(nom_error(std::string_view(text), NomKind::TakeUntil));
  // A first item that reads as a number is the session number; otherwise
  // it is the first field.
  if (auto session = parse_i32(std::string_view(text).substr(0, bar))) {
    return ReceivedMfeFields{*session, FieldText(std::move(text), bar + 1, true)};
  }
  return ReceivedMfeFields{std::nullopt, FieldText(std::move(text), 0, true)};
}

}  // namespace tavik::codec::detail
