#pragma once
// One finished zlib stream (RFC 1950) in each direction.
#include <cstddef>
#include <expected>
#include <string>
#include <string_view>

#include "codec/frame.h"

namespace tavik::codec::detail {

// Compression level 9. Fails only when zlib cannot get memory.
std::expected<Bytes, std::string> zlib_compress(std::string_view text);

// Inflates one zlib stream, checking its Adler-32; bytes after the end of the
// stream are ignored. `capacity_hint` is the initial size of the output
// buffer, which grows as needed up to `limit` bytes: a stream that inflates
// to more fails as soon as it passes the limit, without inflating the rest.
std::expected<std::string, std::string> zlib_inflate(ByteView stream, std::size_t capacity_hint, std::size_t limit);

}  // namespace tavik::codec::detail
