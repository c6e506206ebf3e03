#include "simulator/fault_frames.h"

#include <algorithm>
#include <fmt/format.h>
#include <zlib.h>

namespace tavik::simulator {
namespace {

constexpr std::string_view kVersionBlock = "version:1.0\r\n\r\n\r\n";
constexpr std::size_t kLongHeaderBytes = 600;  // beyond the 512-byte first read

std::string_view source_digit(codec::Source source) {
  switch (source) {
    case codec::Source::Lib: return "3";
    case codec::Source::Application: return "6";
    case codec::Source::Broadcast: return "5";
  }
  return "6";
}

codec::Bytes bytes_of(std::string_view text) { return codec::Bytes(text.begin(), text.end()); }

RawFrame frame_of(std::string_view code, std::string_view text, bool compress) {
  RawFrame frame{std::string(code), codec::Source::Application, bytes_of(text), std::nullopt, std::nullopt, 0};
  if (compress) {
    frame.body = zlib_compress(text);
    frame.uncompressed_size = text.size();
  }
  return frame;
}

}  // namespace

codec::Bytes zlib_compress(std::string_view text) {
  uLongf size = compressBound(uLong(text.size()));
  codec::Bytes out(size);
  compress2(out.data(), &size, reinterpret_cast<const Bytef*>(text.data()), uLong(text.size()), 9);
  out.resize(size);
  return out;
}

codec::Bytes assemble_frame(const RawFrame& frame) {
  std::string header = fmt::format("smx\r\ncode:{}\r\n", frame.code);
  for (std::size_t i = 0; i < frame.blank_lines; ++i) header += "\r\n";
  header += fmt::format("content-size:{}\r\ncontent-type:{}\r\n", frame.body.size(),
                        frame.uncompressed_size ? "z-compressed" : "octet-stream");
  if (frame.uncompressed_size) header += fmt::format("content-uncompressed-size:{}\r\n", *frame.uncompressed_size);
  const std::uint16_t edc = frame.edc_word.value_or(codec::crc16(frame.body));
  header += fmt::format("edc-type:crc16-ccitt\r\nedc-word:{}\r\nsource:{}\r\n", edc, source_digit(frame.source));
  header += kVersionBlock;
  codec::Bytes out = bytes_of(header);
  out.insert(out.end(), frame.body.begin(), frame.body.end());
  return out;
}

std::size_t body_offset(codec::ByteView frame) {
  const auto it = std::search(frame.begin(), frame.end(), kVersionBlock.begin(), kVersionBlock.end());
  return it == frame.end() ? frame.size() : std::size_t(it - frame.begin()) + kVersionBlock.size();
}

codec::Bytes long_header_frame(std::string_view code, std::string_view text, bool compress) {
  RawFrame frame = frame_of(code, text, compress);
  RawFrame empty = frame;
  empty.body.clear();
  const std::size_t plain = body_offset(assemble_frame(empty));
  frame.blank_lines = plain < kLongHeaderBytes ? (kLongHeaderBytes - plain) / 2 + 1 : 0;
  return assemble_frame(frame);
}

codec::Bytes wrong_crc_frame(std::string_view code, std::string_view text, bool compress) {
  RawFrame frame = frame_of(code, text, compress);
  frame.edc_word = std::uint16_t(codec::crc16(frame.body) ^ 0x5A5A);
  return assemble_frame(frame);
}

codec::Bytes corrupt_zlib_frame(std::string_view code, std::string_view text) {
  RawFrame frame = frame_of(code, text, true);
  // Break the Adler-32 trailer: inflating fails for certain, while the
  // check word (computed over the broken bytes) still matches.
  for (std::size_t i = 0; i < 4 && i < frame.body.size(); ++i) frame.body[frame.body.size() - 1 - i] ^= 0xFF;
  return assemble_frame(frame);
}

codec::Bytes invalid_utf8_frame(std::string_view code, std::string_view text) {
  std::string broken(text);
  broken += "\xC3\x28\xFF";  // a cut two-byte sequence and a byte UTF-8 never uses
  return assemble_frame(frame_of(code, broken, false));
}

}  // namespace tavik::simulator
