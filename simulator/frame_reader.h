#pragma once
// Finds whole request frames in a byte stream that arrives in arbitrary
// pieces, and decodes each with the codec variant its code belongs to.
#include <cstddef>
#include <expected>
#include <optional>
#include <string>
#include <variant>

#include "codec/frame.h"

namespace tavik::simulator {

struct DecodedRequest {
  std::variant<codec::SatBody, codec::MfeBody> body;
  bool compressed = false;
};

class FrameReader {
 public:
  // Headers longer than this without the version block are given up on.
  static constexpr std::size_t kMaxHeaderBytes = 64 * 1024;
  // Bodies larger than this are refused (a sale is at most 1,500 KB).
  static constexpr std::uint64_t kMaxBodyBytes = 32u << 20;

  void feed(codec::ByteView bytes);
  // The next whole frame; an error text for a frame that was dropped; nothing
  // while more bytes are needed.
  std::optional<std::expected<DecodedRequest, std::string>> next();
  std::size_t buffered() const { return buffer_.size() - start_; }

 private:
  void consume(std::size_t count);

  codec::Bytes buffer_;
  std::size_t start_ = 0;  // bytes before it are consumed
};

}  // namespace tavik::simulator
