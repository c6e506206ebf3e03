#include "mfe/mfe_message.h"

#include "mfe/mfe_compression.h"

namespace tavik::mfe {
namespace {

using codec::MfeMessageType;

template <class T>
kovo_base::Result<T> folded(std::expected<T, codec::ProtocolError> result) {
  if (!result) return std::unexpected(kovo_base::ConnectionError::protocol());
  return std::move(*result);
}

bool answers(const codec::MfeBody& request, std::optional<std::int32_t> answered) {
  if (request.code == MfeMessageType::Beacon || request.code == MfeMessageType::HeartBeatPDV) return true;
  if (!answered) return true;
  return request.fields.num_session && *request.fields.num_session == *answered;
}

}  // namespace

bool is_response_to(const codec::MfeBody& request, const codec::MfeBody& response) {
  return answers(request, response.fields.num_session);
}

bool is_response_to(const codec::MfeBody& request, const codec::ReceivedMfeBody& response) {
  return answers(request, response.fields.num_session);
}

std::uint64_t response_timeout(MfeMessageType kind) { return kind == MfeMessageType::InformarProducaoMFE ? 40 : 20; }

kovo_base::Result<codec::Bytes> MfeMessage::encode(const Body& body) {
  return folded(codec::mfe::encode_frame(body, mfe_compression_enabled()));
}

kovo_base::Result<codec::ParsedHeader<MfeMessage::Header>> MfeMessage::parse_header(codec::ByteView input) {
  return folded(codec::mfe::parse_frame_header(input));
}

kovo_base::Result<MfeMessage::Response> MfeMessage::decode(const Header& header, codec::ByteView body) {
  return folded(codec::mfe::decode_received_body(header, body));
}

}  // namespace tavik::mfe
