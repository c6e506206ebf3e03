#pragma once
// Frames written by hand for the codec tests, and one decode entry point per
// variant so that tables can run against both.
#include <zlib.h>

#include <optional>
#include <ostream>
#include <string>
#include <string_view>

#include "codec/frame.h"
#include "codec/received_body.h"

namespace tavik::codec {

// GoogleTest prints bodies by their debug rendering.
inline void PrintTo(const SatBody& body, std::ostream* out) { *out << debug_string(body); }
inline void PrintTo(const MfeBody& body, std::ostream* out) { *out << debug_string(body); }

}  // namespace tavik::codec

namespace tavik::codec::testing {

inline ByteView view_of(std::string_view text) {
  return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

inline std::string text_of(const Bytes& bytes) { return {bytes.begin(), bytes.end()}; }

inline std::uint16_t crc_of(std::string_view text) { return crc16(view_of(text)); }

inline std::string zlib_of(std::string_view text) {
  uLongf size = compressBound(static_cast<uLong>(text.size()));
  std::string out(size, '\0');
  compress2(reinterpret_cast<Bytef*>(out.data()), &size, reinterpret_cast<const Bytef*>(text.data()),
            static_cast<uLong>(text.size()), 9);
  out.resize(size);
  return out;
}

// A plain frame around `body`, with its correct size and check word.
inline std::string plain_frame(std::string_view code, std::string_view source, std::string_view body) {
  return "smx\r\ncode:" + std::string(code) + "\r\ncontent-size:" + std::to_string(body.size()) +
         "\r\ncontent-type:octet-stream\r\nedc-type:crc16-ccitt\r\nedc-word:" + std::to_string(crc_of(body)) +
         "\r\nsource:" + std::string(source) + "\r\nversion:1.0\r\n\r\n\r\n" + std::string(body);
}

// A compressed frame carrying `stream` as its body bytes.
inline std::string compressed_frame(std::string_view code, std::string_view stream,
                                    std::optional<std::string> declared_size) {
  std::string frame = "smx\r\ncode:" + std::string(code) + "\r\ncontent-size:" + std::to_string(stream.size()) +
                      "\r\ncontent-type:z-compressed\r\n";
  if (declared_size) frame += "content-uncompressed-size:" + *declared_size + "\r\n";
  return frame + "edc-type:crc16-ccitt\r\nedc-word:" + std::to_string(crc_of(stream)) +
         "\r\nsource:6\r\nversion:1.0\r\n\r\n\r\n" + std::string(stream);
}

struct SatVariant {
  static constexpr std::string_view kCode = "ConsultarSAT";
  using Body = SatBody;
  static auto parse(std::string_view frame) { return sat::parse_frame_header(view_of(frame)); }
  static std::expected<SatBody, ProtocolError> decode(std::string_view frame) {
    auto parsed = parse(frame);
    if (!parsed) return std::unexpected(parsed.error());
    return sat::decode_frame_body(parsed->header, parsed->rest);
  }
  static std::expected<ReceivedSatBody, ProtocolError> decode_received(std::string_view frame) {
    auto parsed = parse(frame);
    if (!parsed) return std::unexpected(parsed.error());
    return sat::decode_received_body(parsed->header, parsed->rest);
  }
};

struct MfeVariant {
  static constexpr std::string_view kCode = "EnviarStatusAC";
  using Body = MfeBody;
  static auto parse(std::string_view frame) { return mfe::parse_frame_header(view_of(frame)); }
  static std::expected<MfeBody, ProtocolError> decode(std::string_view frame) {
    auto parsed = parse(frame);
    if (!parsed) return std::unexpected(parsed.error());
    return mfe::decode_frame_body(parsed->header, parsed->rest);
  }
  static std::expected<ReceivedMfeBody, ProtocolError> decode_received(std::string_view frame) {
    auto parsed = parse(frame);
    if (!parsed) return std::unexpected(parsed.error());
    return mfe::decode_received_body(parsed->header, parsed->rest);
  }
};

// What a table row expects: success, or an error kind (with the grammar rule
// for NomParsing).
struct Outcome {
  std::optional<ProtocolError::Kind> error;
  NomKind nom_kind = NomKind::Tag;

  static Outcome ok() { return {}; }
  static Outcome fails(ProtocolError::Kind kind) { return {kind}; }
  static Outcome nom(NomKind kind) { return {ProtocolError::Kind::NomParsing, kind}; }
};

inline std::string describe(const Outcome& outcome) {
  if (!outcome.error) return "success";
  ProtocolError error;
  error.kind = *outcome.error;
  error.nom_kind = outcome.nom_kind;
  error.message = "an error with a lower-level text";  // shown for Io, FromUtf8, ParseInt, Gen
  return error.display();
}

template <class Result>
std::string describe(const Result& result) {
  return result ? std::string("success") : result.error().display();
}

// Compares an actual result with an expected outcome; NomParsing input copies
// are ignored, only the rule matters.
template <class Result>
bool matches(const Result& result, const Outcome& expected) {
  if (!expected.error) return result.has_value();
  if (result) return false;
  if (result.error().kind != *expected.error) return false;
  return *expected.error != ProtocolError::Kind::NomParsing || result.error().nom_kind == expected.nom_kind;
}

}  // namespace tavik::codec::testing
