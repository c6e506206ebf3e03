#pragma once
// Frames that break the protocol on purpose, for the fault-injection modes.
// The codec only writes correct frames, so these are assembled here.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "codec/frame.h"

namespace tavik::simulator {

struct RawFrame {
  std::string code;                 // header "code" value
  codec::Source source = codec::Source::Application;
  codec::Bytes body;                // as transmitted
  std::optional<std::uint64_t> uncompressed_size;  // set: z-compressed
  std::optional<std::uint16_t> edc_word;           // empty: the body's CRC
  std::size_t blank_lines = 0;      // extra CR LF after the code line (still valid)
};

codec::Bytes assemble_frame(const RawFrame& frame);
codec::Bytes zlib_compress(std::string_view text);

// Where the body begins in a whole frame (after the version block).
std::size_t body_offset(codec::ByteView frame);

// The faulty forms of an answer with this code and body text.
codec::Bytes long_header_frame(std::string_view code, std::string_view text, bool compress);
codec::Bytes wrong_crc_frame(std::string_view code, std::string_view text, bool compress);
codec::Bytes corrupt_zlib_frame(std::string_view code, std::string_view text);
codec::Bytes invalid_utf8_frame(std::string_view code, std::string_view text);
// A z-compressed answer whose text is `text` followed by `filler_bytes`
// copies of `filler`: a few KB on the wire that inflate to the full size.
// The filler's compressed form is made once per size and kept, so only the
// first such answer waits for it.
codec::Bytes bomb_frame(std::string_view code, std::string_view text, char filler, std::uint64_t filler_bytes);

}  // namespace tavik::simulator
