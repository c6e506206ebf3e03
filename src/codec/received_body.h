#pragma once
// Received bodies as the library keeps them: the body's text once, in one
// buffer, with its fields found in that text when asked for. A body of
// sixteen million empty fields then costs sixteen million bytes, not sixteen
// million strings, and the result text is built in the same buffer.
#include <cstddef>
#include <cstdint>
#include <expected>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "codec/frame.h"

namespace tavik::codec {

// The fields of one received body: text[begin..] joined by "|" (so a field
// never holds a "|"), or no field at all.
class FieldText {
 public:
  FieldText() = default;
  FieldText(std::string text, std::size_t begin, bool any) : text_(std::move(text)), begin_(begin), any_(any) {}

  bool empty() const { return !any_; }
  // Counts the fields: one pass over the text.
  std::size_t size() const;
  // The field at index, found by walking the text from the first; nothing
  // past the last.
  std::optional<std::string_view> at(std::size_t index) const;
  // The fields joined by "|", as they stand in the text.
  std::string_view joined() const { return any_ ? std::string_view(text_).substr(begin_) : std::string_view(); }
  // One owned text per field: only for callers that know the body is small.
  std::vector<std::string> to_vector() const;

  // prefix followed by the joined fields, built in this buffer (which the
  // call takes) so the text is never copied.
  std::string release_after(std::string_view prefix) &&;

  friend bool operator==(const FieldText& fields, const std::vector<std::string>& list);

 private:
  std::string text_;
  std::size_t begin_ = 0;
  bool any_ = false;
};

struct ReceivedSatFields {
  std::int32_t num_session = 0;
  FieldText contents;
};

struct ReceivedMfeFields {
  std::optional<std::int32_t> num_session;
  FieldText contents;
};

struct ReceivedSatBody {
  SatFunction code = SatFunction::ConsultarSAT;
  Source source = Source::Lib;
  ReceivedSatFields fields;
  SatBody to_body() const { return {code, source, {fields.num_session, fields.contents.to_vector()}}; }
};

struct ReceivedMfeBody {
  MfeMessageType code = MfeMessageType::Beacon;
  Source source = Source::Lib;
  ReceivedMfeFields fields;
  MfeBody to_body() const { return {code, source, {fields.num_session, fields.contents.to_vector()}}; }
};

// The body text, as body_text() renders the same fields, made from the
// received buffer: the session number in its six-digit form, then the
// fields each after a "|" (MFE without a number: the fields joined by "|").
std::string into_body_text(ReceivedSatBody&& body);
std::string into_body_text(ReceivedMfeBody&& body);

// The same text as a copy, leaving the body whole (for log lines).
std::string body_text(const ReceivedMfeFields& fields);

std::string debug_string(const ReceivedSatBody& body);
std::string debug_string(const ReceivedMfeBody& body);

namespace sat {
std::expected<ReceivedSatBody, ProtocolError> decode_received_body(const SatHeader& header, ByteView body);
}  // namespace sat

namespace mfe {
std::expected<ReceivedMfeBody, ProtocolError> decode_received_body(const MfeHeader& header, ByteView body);
}  // namespace mfe

}  // namespace tavik::codec
