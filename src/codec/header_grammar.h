#pragma once
// The header grammar shared by both variants: the fixed lines read into raw
// values, then the values checked in their fixed order. Only the code and
// source vocabularies differ between the variants.
#include <expected>
#include <optional>
#include <string_view>

#include "codec/errors.h"
#include "codec/frame.h"
#include "codec/protocol_error.h"

namespace tavik::codec::detail {

struct RawHeader {
  std::string_view code;
  std::string_view content_size;
  std::string_view content_type;
  std::optional<std::string_view> content_uncompressed_size;
  std::string_view edc_type;
  std::string_view edc_word;
  std::string_view source;
};

struct RawHeaderParse {
  RawHeader values;
  ByteView rest;  // after the version block
};

// "smx\r\n", the seven lines, then "version:1.0\r\n\r\n\r\n". Values are the raw
// bytes of each line, not yet checked.
std::expected<RawHeaderParse, ProtocolError> parse_header_lines(ByteView input);

// A header value taken as UTF-8 text (FromUtf8 otherwise).
std::expected<std::string_view, ProtocolError> header_value_text(std::string_view value);

struct CommonHeaderValues {
  std::uint64_t content_size = 0;
  std::uint64_t content_uncompressed_size = 0;
  std::uint16_t edc_word = 0;
  bool compressed = false;
};

// The checks after code and source: edc-type, edc-word, content-size,
// content-type, then content-uncompressed-size for compressed bodies.
std::expected<CommonHeaderValues, ProtocolError> check_common_values(const RawHeader& raw);

template <class Code, class CodeLookup, class SourceLookup>
std::expected<ParsedHeader<FrameHeader<Code>>, ProtocolError> parse_header(ByteView input, CodeLookup code_of,
                                                                            SourceLookup source_of) {
  auto lines = parse_header_lines(input);
  if (!lines) return std::unexpected(std::move(lines.error()));
  const RawHeader& raw = lines->values;

  auto code_text = header_value_text(raw.code);
  if (!code_text) return std::unexpected(std::move(code_text.error()));
  const std::optional<Code> code = code_of(*code_text);
  if (!code) return std::unexpected(error_of(ProtocolError::Kind::FunctionCode));

  auto source_text = header_value_text(raw.source);
  if (!source_text) return std::unexpected(std::move(source_text.error()));
  const std::optional<Source> source = source_of(*source_text);
  if (!source) return std::unexpected(error_of(ProtocolError::Kind::Source));

  auto common = check_common_values(raw);
  if (!common) return std::unexpected(std::move(common.error()));

  FrameHeader<Code> header;
  header.content_size = common->content_size;
  header.content_uncompressed_size = common->content_uncompressed_size;
  header.edc_word = common->edc_word;
  header.code = *code;
  header.compressed = common->compressed;
  header.source = *source;
  return ParsedHeader<FrameHeader<Code>>{header, lines->rest};
}

}  // namespace tavik::codec::detail
