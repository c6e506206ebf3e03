#pragma once
// Decoding what the simulated device writes, the way the library reads it.
#include <optional>
#include <string>

#include "codec/frame.h"

namespace tavik::simulator::testing {

struct ReadFrame {
  std::size_t header_bytes = 0;
  std::optional<codec::SatBody> sat;
  std::optional<codec::MfeBody> mfe;
  std::optional<codec::ProtocolError> error;
  std::size_t frame_bytes = 0;  // header and body
};

// Reads the first frame of bytes (SAT vocabulary first, then MFE).
inline ReadFrame read_frame(codec::ByteView bytes) {
  ReadFrame out;
  if (auto sat = codec::sat::parse_frame_header(bytes)) {
    out.header_bytes = bytes.size() - sat->rest.size();
    out.frame_bytes = out.header_bytes + std::size_t(sat->header.content_size);
    auto body = codec::sat::decode_frame_body(sat->header, sat->rest);
    if (body) out.sat = *body;
    else out.error = body.error();
    return out;
  }
  auto mfe = codec::mfe::parse_frame_header(bytes);
  if (!mfe) {
    out.error = mfe.error();
    return out;
  }
  out.header_bytes = bytes.size() - mfe->rest.size();
  out.frame_bytes = out.header_bytes + std::size_t(mfe->header.content_size);
  auto body = codec::mfe::decode_frame_body(mfe->header, mfe->rest);
  if (body) out.mfe = *body;
  else out.error = body.error();
  return out;
}

inline codec::Bytes sat_request(codec::SatFunction function, std::int32_t session, std::vector<std::string> args,
                                bool compress = false) {
  return codec::sat::encode_frame({function, codec::Source::Lib, {session, std::move(args)}}, compress).value();
}

}  // namespace tavik::simulator::testing
