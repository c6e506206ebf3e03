#include "codec/zlib_stream.h"

#include <algorithm>
#include <climits>

#include <fmt/format.h>
#include <zlib.h>

namespace tavik::codec::detail {
namespace {

// zlib counts in uInt; larger buffers are handed over in pieces.
constexpr std::size_t kMaxStep = UINT_MAX;

uInt step_of(std::size_t remaining) { return static_cast<uInt>(std::min(remaining, kMaxStep)); }

std::string zlib_text(const z_stream& stream, int status, const char* what) {
  return fmt::format("{}: {} ({})", what, stream.msg ? stream.msg : "zlib error", status);
}

}  // namespace

std::expected<Bytes, std::string> zlib_compress(std::string_view text) {
  z_stream stream{};
  if (int status = deflateInit(&stream, 9); status != Z_OK) {
    return std::unexpected(zlib_text(stream, status, "cannot start compression"));
  }
  Bytes out(deflateBound(&stream, static_cast<uLong>(std::min<std::size_t>(text.size(), ULONG_MAX))) + 16);
  auto* in = reinterpret_cast<const Bytef*>(text.data());
  std::size_t consumed = 0;
  std::size_t produced = 0;
  int status = Z_OK;
  while (status != Z_STREAM_END) {
    if (produced == out.size()) out.resize(out.size() * 2);
    stream.next_in = const_cast<Bytef*>(in + consumed);
    stream.avail_in = step_of(text.size() - consumed);
    stream.next_out = out.data() + produced;
    stream.avail_out = step_of(out.size() - produced);
    const uInt in_before = stream.avail_in;
    const uInt out_before = stream.avail_out;
    const bool last = consumed + in_before == text.size();
    status = deflate(&stream, last ? Z_FINISH : Z_NO_FLUSH);
    consumed += in_before - stream.avail_in;
    produced += out_before - stream.avail_out;
    if (status != Z_OK && status != Z_STREAM_END && status != Z_BUF_ERROR) {
      const auto error = zlib_text(stream, status, "compression failed");
      deflateEnd(&stream);
      return std::unexpected(error);
    }
  }
  deflateEnd(&stream);
  out.resize(produced);
  return out;
}

std::expected<std::string, std::string> zlib_inflate(ByteView input, std::size_t capacity_hint, std::size_t limit) {
  z_stream stream{};
  if (int status = inflateInit(&stream); status != Z_OK) {
    return std::unexpected(zlib_text(stream, status, "cannot start decompression"));
  }
  std::string text;
  // A little room past the hint lets a truthful hint end the stream without
  // regrowing the buffer just to read the trailer; one byte of room past the
  // limit tells a stream that ends at the limit from one that goes on.
  const std::size_t most = limit + 1;
  std::size_t capacity = std::min(capacity_hint + 64, most);
  std::size_t consumed = 0;
  std::size_t produced = 0;
  int status = Z_OK;
  while (true) {
    const std::size_t consumed_before = consumed;
    const std::size_t produced_before = produced;
    // Inflate straight into the string's storage, which is never zero-filled.
    text.resize_and_overwrite(capacity, [&](char* data, std::size_t size) {
      stream.next_in = const_cast<Bytef*>(input.data() + consumed);
      stream.avail_in = step_of(input.size() - consumed);
      stream.next_out = reinterpret_cast<Bytef*>(data + produced);
      stream.avail_out = step_of(size - produced);
      const uInt in_before = stream.avail_in;
      const uInt out_before = stream.avail_out;
      status = inflate(&stream, Z_NO_FLUSH);
      consumed += in_before - stream.avail_in;
      produced += out_before - stream.avail_out;
      return produced;
    });
    if (produced > limit) {
      inflateEnd(&stream);
      return std::unexpected(fmt::format("inflated body exceeds {} bytes", limit));
    }
    if (status == Z_STREAM_END) break;
    if (status != Z_OK && status != Z_BUF_ERROR) {
      const auto error = zlib_text(stream, status, "corrupt zlib stream");
      inflateEnd(&stream);
      return std::unexpected(error);
    }
    if (produced == capacity) {
      capacity = capacity > most / 2 ? most : capacity * 2;
    } else if (consumed == input.size() || (consumed == consumed_before && produced == produced_before)) {
      inflateEnd(&stream);
      return std::unexpected(std::string("corrupt zlib stream: unexpected end of stream"));
    }
  }
  inflateEnd(&stream);
  text.resize(produced);
  return text;
}

}  // namespace tavik::codec::detail
