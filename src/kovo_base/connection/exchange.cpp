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

namespace {

// Both variants end the header with the version line and two empty lines
// (empty lines alone may also appear inside a header).
bool holds_whole_header(codec::ByteView bytes) {
  static constexpr std::string_view end_of_header = "version:1.0\r\n\r\n\r\n";
  const std::string_view text(reinterpret_cast<const char*>(bytes.data()), std::min(bytes.size(), chunk_size));
  return text.find(end_of_header) != std::string_view::npos;
}

}  // namespace

Result<void> read_header(Handle& handle, std::uint64_t timeout_seconds, codec::Bytes& buffer) {
  if (buffer.empty()) {
    if (auto first = read_chunk(handle, timeout_seconds, buffer); !first) return std::unexpected(std::move(first.error()));
  }
  while (buffer.size() < chunk_size && starts_like_a_frame(buffer) && !holds_whole_header(buffer)) {
    auto more = read_chunk(handle, timeout_seconds, buffer);
    if (!more) return std::unexpected(std::move(more.error()));
    if (*more == 0) break;  // the parse reports what is missing
  }
  return {};
}

}  // namespace tavik::kovo_base::connection::detail
