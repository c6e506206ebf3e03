#pragma once
// One request written, frames read until the one that answers it arrives.
// Generic over the message kind (SAT or MFE), which supplies its codec, its
// per-read time-out and its matching rule through an adapter:
//
//   struct Adapter {
//     using Body = ...; using Header = ...;
//     using Response = ...;  // optional: what decode gives, else Body
//     static Result<codec::Bytes> encode(const Body&);
//     static Result<codec::ParsedHeader<Header>> parse_header(codec::ByteView);
//     static Result<Response> decode(const Header&, codec::ByteView);
//     static std::uint64_t response_timeout(const Body& request);  // seconds
//     static bool is_response_to(const Body& request, const Response& response);
//     static std::string debug(const Response&);
//   };
#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "codec/frame.h"
#include "kovo_base/connection/connection_slot.h"
#include "kovo_base/connection_error.h"
#include "log/log.h"

namespace tavik::kovo_base::connection {

inline constexpr std::size_t chunk_size = 512;

namespace detail {
inline constexpr std::string_view exchange_target = "kovo_base::connection";

// Writes the frame with its log lines.
Result<void> write_frame(Handle& handle, codec::ByteView frame);
// Appends one read of up to chunk_size bytes to buffer, each read bounded by
// timeout_seconds; returns the count read.
Result<std::size_t> read_chunk(Handle& handle, std::uint64_t timeout_seconds, codec::Bytes& buffer);
// The error for a stream that ended inside a frame.
ConnectionError end_of_stream_in_frame();
// Whether bytes begin with (a prefix of) the frame's opening "smx\r\n". Only
// such bytes are carried over to the next frame; padding is dropped.
bool starts_like_a_frame(codec::ByteView bytes);
// Reads chunks (each bounded by timeout_seconds) until buffer holds a whole
// header: a module or a TLS stack may write it in pieces, and a frame that
// follows a stale one may be cut by the chunk boundary. It stops once
// chunk_size bytes are in (a longer header is refused by the parse), at the
// end of the stream, and at once for bytes that cannot begin a frame.
Result<void> read_header(Handle& handle, std::uint64_t timeout_seconds, codec::Bytes& buffer);
// The decoder refuses any larger body, so a header that declares more is not
// believed and nothing of it is read: a garbled or hostile size cannot make
// the exchange read and buffer without end.
inline constexpr std::uint64_t max_content_size = codec::max_transmitted_body_bytes;
}  // namespace detail

template <class Adapter>
struct ResponseOf {
  using type = typename Adapter::Body;
};
template <class Adapter>
  requires requires { typename Adapter::Response; }
struct ResponseOf<Adapter> {
  using type = typename Adapter::Response;
};

template <class Adapter>
Result<typename ResponseOf<Adapter>::type> send_and_receive(ConnectionGuard& guard, const typename Adapter::Body& request) {
  Handle& handle = guard.handle();
  auto frame = Adapter::encode(request);
  if (!frame) return std::unexpected(std::move(frame.error()));
  const std::uint64_t timeout = Adapter::response_timeout(request);
  // A TCP handle runs its TLS handshake inside the first write; the waiting
  // time bounds it, or a module that never answers would hold the caller.
  if (handle.kind() == HandleKind::Tcp) {
    if (auto set = handle.set_read_timeout(timeout, 0); !set) return std::unexpected(ConnectionError::io(set.error()));
  }
  if (auto written = detail::write_frame(handle, *frame); !written) return std::unexpected(std::move(written.error()));

  // One buffer per frame, grown by appending, so an n-byte answer costs O(n).
  codec::Bytes buffer;
  // What followed a rejected frame in its last chunk. When it is the start of
  // another frame (the answer often arrives right behind a stale frame in the
  // same chunk), it is kept rather than thrown away with the stale frame.
  codec::Bytes carried;
  for (;;) {
    buffer.swap(carried);
    carried.clear();
    if (auto read = detail::read_header(handle, timeout, buffer); !read) return std::unexpected(std::move(read.error()));
    // A header longer than one chunk is not accepted, however it arrived.
    const auto header_part = codec::ByteView(buffer).first(std::min(buffer.size(), chunk_size));
    auto parsed = Adapter::parse_header(header_part);
    if (!parsed) return std::unexpected(std::move(parsed.error()));
    const auto header = parsed->header;
    if (header.content_size > detail::max_content_size) return std::unexpected(ConnectionError::protocol());
    const std::size_t body_start = header_part.size() - parsed->rest.size();
    while (buffer.size() - body_start < header.content_size) {
      auto more = detail::read_chunk(handle, timeout, buffer);
      if (!more) return std::unexpected(std::move(more.error()));
      if (*more == 0) return std::unexpected(detail::end_of_stream_in_frame());
    }
    auto response = Adapter::decode(header, codec::ByteView(buffer).subspan(body_start));
    if (!response) return std::unexpected(std::move(response.error()));
    if (Adapter::is_response_to(request, *response)) return std::move(*response);
    LOG_TRACE(detail::exchange_target, "Rejecting response of another request: {}", Adapter::debug(*response));
    const auto after = codec::ByteView(buffer).subspan(body_start + static_cast<std::size_t>(header.content_size));
    if (detail::starts_like_a_frame(after)) carried.assign(after.begin(), after.end());
  }
}

}  // namespace tavik::kovo_base::connection
