#pragma once
// SAT requests and answers as the connection manager sees them.
#include <cstdint>
#include <string>

#include "codec/frame.h"
#include "codec/received_body.h"
#include "kovo_base/connection_error.h"

namespace tavik::dllsat {

// Whether response answers request: same session number, with the
// exceptions of ConsultarUltimaSessaoFiscal (anything), ConsultarNumeroSessao
// (also the queried number) and the module's refusal texts.
bool is_response_to(const codec::SatBody& request, const codec::SatBody& response);
bool is_response_to(const codec::SatBody& request, const codec::ReceivedSatBody& response);

// The SAT codec for send_and_receive; every codec error becomes Protocol.
struct SatMessage {
  using Body = codec::SatBody;
  using Header = codec::SatHeader;
  // Answers keep their text in one buffer; the result text is made from it.
  using Response = codec::ReceivedSatBody;

  // Compressed when the SAT compression switch is on at this moment.
  static kovo_base::Result<codec::Bytes> encode(const Body& body);
  static kovo_base::Result<codec::ParsedHeader<Header>> parse_header(codec::ByteView input);
  static kovo_base::Result<Response> decode(const Header& header, codec::ByteView body);
  static std::uint64_t response_timeout(const Body& request);
  static bool is_response_to(const Body& request, const Response& response) {
    return dllsat::is_response_to(request, response);
  }
  static std::string debug(const Response& body) { return codec::debug_string(body); }
};

}  // namespace tavik::dllsat
