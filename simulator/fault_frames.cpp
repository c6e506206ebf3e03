#include "simulator/fault_frames.h"

#include <algorithm>
#include <array>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
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

namespace {

// A raw deflate stream (no zlib header or trailer) of `bytes`, ending with a
// final block when `last`, else flushed to a byte boundary so that another
// raw stream can follow it.
codec::Bytes raw_deflate(std::string_view bytes, std::uint64_t repeat, bool last) {
  z_stream stream{};
  // Run-length matching finds the long repeats at once.
  deflateInit2(&stream, 9, Z_DEFLATED, -15, 9, Z_RLE);
  codec::Bytes out;
  std::array<Bytef, 1 << 16> buffer{};
  const auto pump = [&](const char* data, std::size_t size, int flush) {
    stream.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream.avail_in = uInt(size);
    do {
      stream.next_out = buffer.data();
      stream.avail_out = uInt(buffer.size());
      deflate(&stream, flush);
      out.insert(out.end(), buffer.data(), stream.next_out);
    } while (stream.avail_out == 0);
  };
  for (std::uint64_t i = 0; i < repeat; ++i) pump(bytes.data(), bytes.size(), Z_NO_FLUSH);
  pump(nullptr, 0, last ? Z_FINISH : Z_SYNC_FLUSH);
  deflateEnd(&stream);
  return out;
}

struct FillerStream {
  codec::Bytes deflated;
  uLong adler = 1;
};

// Compressing a GiB takes seconds, longer than a call waits for its answer,
// so the filler's stream is made once per size and kept.
std::shared_ptr<const FillerStream> filler_stream(char filler, std::uint64_t bytes) {
  static std::mutex mutex;
  static std::map<std::pair<char, std::uint64_t>, std::shared_ptr<const FillerStream>> made;
  std::lock_guard lock(mutex);
  auto& entry = made[{filler, bytes}];
  if (entry) return entry;
  constexpr std::size_t chunk = 1 << 16;
  const std::string block(chunk, filler);
  auto stream = std::make_shared<FillerStream>();
  stream->deflated = raw_deflate(block, bytes / chunk, false);
  const codec::Bytes tail = raw_deflate(std::string(bytes % chunk, filler), 1, true);
  stream->deflated.insert(stream->deflated.end(), tail.begin(), tail.end());
  uLong adler = adler32(0, nullptr, 0);
  for (std::uint64_t left = bytes; left > 0;) {
    const std::size_t step = std::size_t(std::min<std::uint64_t>(left, chunk));
    adler = adler32(adler, reinterpret_cast<const Bytef*>(block.data()), uInt(step));
    left -= step;
  }
  stream->adler = adler;
  entry = std::move(stream);
  return entry;
}

}  // namespace

codec::Bytes bomb_frame(std::string_view code, std::string_view text, char filler, std::uint64_t filler_bytes) {
  // One zlib stream: header, the text's deflate data flushed to a byte
  // boundary, the filler's (made on its own, so it refers to nothing before
  // it), and the Adler-32 of the whole.
  const auto tail = filler_stream(filler, filler_bytes);
  codec::Bytes body{0x78, 0xDA};
  const codec::Bytes head = raw_deflate(text, 1, false);
  body.insert(body.end(), head.begin(), head.end());
  body.insert(body.end(), tail->deflated.begin(), tail->deflated.end());
  const uLong text_adler = adler32(adler32(0, nullptr, 0), reinterpret_cast<const Bytef*>(text.data()), uInt(text.size()));
  const uLong adler = adler32_combine(text_adler, tail->adler, z_off_t(filler_bytes));
  for (int shift = 24; shift >= 0; shift -= 8) body.push_back(std::uint8_t(adler >> shift));
  RawFrame frame{std::string(code), codec::Source::Application, std::move(body), text.size() + filler_bytes,
                 std::nullopt, 0};
  return assemble_frame(frame);
}

}  // namespace tavik::simulator
