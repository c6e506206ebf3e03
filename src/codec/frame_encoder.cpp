#include "codec/frame_encoder.h"

#include <charconv>

#include "codec/errors.h"
#include "codec/zlib_stream.h"

namespace tavik::codec::detail {
namespace {

// Room for the fixed header texts and the longest values.
constexpr std::size_t kHeaderCapacity = 256;

class FrameWriter {
 public:
  explicit FrameWriter(std::size_t body_size) { frame_.reserve(kHeaderCapacity + body_size); }

  void append(std::string_view text) {
    frame_.insert(frame_.end(), text.begin(), text.end());
  }
  void append(ByteView bytes) { frame_.insert(frame_.end(), bytes.begin(), bytes.end()); }

  void line(std::string_view name, std::string_view value) {
    append(name);
    append(":");
    append(value);
    append("\r\n");
  }
  void line(std::string_view name, std::uint64_t value) {
    char digits[24];
    const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
    line(name, std::string_view(digits, static_cast<std::size_t>(end - digits)));
  }

  Bytes take() { return std::move(frame_); }

 private:
  Bytes frame_;
};

}  // namespace

std::expected<Bytes, ProtocolError> encode_frame_text(std::string_view code_name, std::string_view source_digit,
                                                      std::string_view text, bool compress) {
  if (code_name.empty()) return std::unexpected(error_with_message(ProtocolError::Kind::Gen, "code has no name"));
  if (source_digit.empty()) {
    return std::unexpected(error_with_message(ProtocolError::Kind::Gen, "source has no header digit"));
  }

  Bytes compressed;
  ByteView body(reinterpret_cast<const std::uint8_t*>(text.data()), text.size());
  if (compress) {
    auto stream = zlib_compress(text);
    if (!stream) return std::unexpected(error_with_message(ProtocolError::Kind::Io, std::move(stream.error())));
    compressed = std::move(*stream);
    body = compressed;
  }

  FrameWriter writer(body.size());
  writer.append("smx\r\n");
  writer.line("code", code_name);
  writer.line("content-size", body.size());
  writer.line("content-type", compress ? "z-compressed" : "octet-stream");
  if (compress) writer.line("content-uncompressed-size", text.size());
  writer.line("edc-type", "crc16-ccitt");
  writer.line("edc-word", crc16(body));
  writer.line("source", source_digit);
  writer.append("version:1.0\r\n\r\n\r\n");
  writer.append(body);
  return writer.take();
}

}  // namespace tavik::codec::detail
