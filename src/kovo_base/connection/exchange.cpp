#include "kovo_base/connection/exchange.h"

#include <algorithm>

namespace tavik::kovo_base::connection::detail {

Result<void> write_frame(Handle& handle, codec::ByteView frame) {
  LOG_TRACE(exchange_target, "Sending {} bytes", frame.size());
  if (auto written = handle.write_all(frame); !written) return std::unexpected(ConnectionError::io(written.error()));
  LOG_TRACE(exchange_target, "Data sent");
  return {};
}

Result<std::size_t> read_chunk(Handle& handle, std::uint64_t timeout_seconds, codec::Bytes& buffer) {
  const std::size_t start = buffer.size();
  buffer.resize(start + chunk_size);  // zero-filled; vector growth keeps appends amortised O(1)
  if (auto set = handle.set_read_timeout(timeout_seconds, 0); !set) {
    buffer.resize(start);
    return std::unexpected(ConnectionError::io(set.error()));
  }
  auto got = handle.read(std::span(buffer).subspan(start, chunk_size));
  if (!got) {
    buffer.resize(start);
    return std::unexpected(ConnectionError::io(std::move(got.error().io)));
  }
  const std::size_t count = std::min(*got, chunk_size);
  LOG_TRACE(exchange_target, "{} bytes consumed from device", count);
  buffer.resize(start + count);
  return count;
}

ConnectionError end_of_stream_in_frame() {
  return ConnectionError::io(IoError::custom(IoKind::UnexpectedEof, "end of stream in the middle of a frame"));
}

bool starts_like_a_frame(codec::ByteView bytes) {
  static constexpr std::string_view opening = "smx\r\n";
  if (bytes.empty()) return false;
  const std::size_t n = std::min(bytes.size(), opening.size());
  return std::equal(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n), opening.begin());
}

}  // namespace tavik::kovo_base::connection::detail
