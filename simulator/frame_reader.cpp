#include "simulator/frame_reader.h"

#include <algorithm>
#include <fmt/format.h>
#include <string_view>

namespace tavik::simulator {
namespace {

constexpr std::string_view kMagic = "smx\r\n";
constexpr std::string_view kVersionBlock = "version:1.0\r\n\r\n\r\n";

std::size_t find(codec::ByteView haystack, std::string_view needle, std::size_t from = 0) {
  if (from > haystack.size()) return std::string_view::npos;
  const auto it = std::search(haystack.begin() + from, haystack.end(), needle.begin(), needle.end());
  return it == haystack.end() ? std::string_view::npos : std::size_t(it - haystack.begin());
}

template <class Header>
std::expected<DecodedRequest, std::string> decode(const Header& header, codec::ByteView body, auto decoder) {
  auto decoded = decoder(header, body);
  if (!decoded) return std::unexpected(fmt::format("undecodable body: {}", decoded.error().display()));
  return DecodedRequest{std::move(*decoded), header.compressed};
}

}  // namespace

void FrameReader::feed(codec::ByteView bytes) {
  // Drop what was consumed before the buffer grows again.
  if (start_ > 0 && start_ >= buffer_.size() / 2) {
    buffer_.erase(buffer_.begin(), buffer_.begin() + std::ptrdiff_t(start_));
    start_ = 0;
  }
  buffer_.insert(buffer_.end(), bytes.begin(), bytes.end());
}

void FrameReader::consume(std::size_t count) { start_ = std::min(buffer_.size(), start_ + count); }

std::optional<std::expected<DecodedRequest, std::string>> FrameReader::next() {
  const codec::ByteView pending(buffer_.data() + start_, buffer_.size() - start_);
  const std::size_t magic = find(pending, kMagic);
  if (magic == std::string_view::npos) {
    // Keep a tail that may be the beginning of the next frame's magic.
    const std::size_t keep = std::min(pending.size(), kMagic.size() - 1);
    const std::size_t dropped = pending.size() - keep;
    consume(dropped);
    if (dropped > 0) return std::unexpected(fmt::format("skipped {} bytes that are no frame", dropped));
    return std::nullopt;
  }
  if (magic > 0) {
    consume(magic);
    return std::unexpected(fmt::format("skipped {} bytes before a frame", magic));
  }
  const std::size_t version = find(pending, kVersionBlock);
  if (version == std::string_view::npos) {
    if (pending.size() > kMaxHeaderBytes) {
      consume(kMagic.size());
      return std::unexpected("frame header too long; dropped");
    }
    return std::nullopt;
  }
  const std::size_t header_size = version + kVersionBlock.size();
  const codec::ByteView header_bytes = pending.first(header_size);

  auto sat = codec::sat::parse_frame_header(header_bytes);
  std::optional<codec::ParsedHeader<codec::MfeHeader>> mfe;
  if (!sat) {
    auto parsed = codec::mfe::parse_frame_header(header_bytes);
    if (!parsed) {
      consume(header_size);
      // An unknown SAT code may be an MFE frame: then the MFE error says more.
      const bool mfe_code = sat.error().kind == codec::ProtocolError::Kind::FunctionCode;
      return std::unexpected(
          fmt::format("undecodable header: {}", (mfe_code ? parsed.error() : sat.error()).display()));
    }
    mfe = *parsed;
  }
  const std::uint64_t body_size = sat ? sat->header.content_size : mfe->header.content_size;
  if (body_size > kMaxBodyBytes) {
    consume(header_size);
    return std::unexpected(fmt::format("body of {} bytes refused", body_size));
  }
  if (pending.size() - header_size < body_size) return std::nullopt;

  const codec::ByteView body = pending.subspan(header_size, std::size_t(body_size));
  auto result = sat ? decode(sat->header, body, codec::sat::decode_frame_body)
                    : decode(mfe->header, body, codec::mfe::decode_frame_body);
  consume(header_size + std::size_t(body_size));
  return result;
}

}  // namespace tavik::simulator
