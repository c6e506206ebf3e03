#pragma once
// The encoder shared by both variants: header lines, then the body bytes.
#include <expected>
#include <string_view>

#include "codec/frame.h"
#include "codec/protocol_error.h"

namespace tavik::codec::detail {

// `code_name` and `source_digit` are the header texts; empty ones (a value
// outside its enumeration) fail with Gen rather than write a frame that no
// module could read.
std::expected<Bytes, ProtocolError> encode_frame_text(std::string_view code_name, std::string_view source_digit,
                                                      std::string_view text, bool compress);

}  // namespace tavik::codec::detail
