#pragma once
// MFE requests and answers as the connection manager sees them.
#include <cstdint>
#include <string>

#include "codec/frame.h"
#include "codec/received_body.h"
#include "kovo_base/connection_error.h"

namespace tavik::mfe {

// Beacon and HeartBeatPDV accept any answer; other kinds an answer without a
// session number or with the request's own.
bool is_response_to(const codec::MfeBody& request, const codec::MfeBody& response);
bool is_response_to(const codec::MfeBody& request, const codec::ReceivedMfeBody& response);

// Seconds per read while waiting: 40 for InformarProducaoMFE, 20 otherwise.
std::uint64_t response_timeout(codec::MfeMessageType kind);

// The MFE codec for send_and_receive; every codec error becomes Protocol.
struct MfeMessage {
  using Body = codec::MfeBody;
  using Header = codec::MfeHeader;
  // Answers keep their text in one buffer; the result text is made from it.
  using Response = codec::ReceivedMfeBody;

  // Compressed when the MFE compression switch is on at this moment.
  static kovo_base::Result<codec::Bytes> encode(const Body& body);
  static kovo_base::Result<codec::ParsedHeader<Header>> parse_header(codec::ByteView input);
  static kovo_base::Result<Response> decode(const Header& header, codec::ByteView body);
  static std::uint64_t response_timeout(const Body& request) { return mfe::response_timeout(request.code); }
  static bool is_response_to(const Body& request, const Response& response) {
    return mfe::is_response_to(request, response);
  }
  static std::string debug(const Response& body) { return codec::debug_string(body); }
};

}  // namespace tavik::mfe
