#include "kovo_base/tcp/beacon.h"

#include <expected>

#include "codec/received_body.h"

#include "log/pass_on.h"

namespace tavik::kovo_base::tcp {
namespace {

// A beacon that cannot be read is logged under the exported layer's target,
// where the other failures of a call's device choice are logged too.
constexpr log::ResultPassOn log_under_mfe_target{"mfe::logging"};

// The codec's error in the shape the pass-on log line wants; its display
// text serves as both renderings.
struct CodecFailure {
  codec::ProtocolError error;
  std::string display() const { return error.display(); }
  std::string debug() const { return error.display(); }
};

template <class T>
std::expected<T, CodecFailure> logged(std::expected<T, codec::ProtocolError> result, std::string_view context) {
  std::expected<T, CodecFailure> wrapped =
      result ? std::expected<T, CodecFailure>(std::move(*result))
             : std::expected<T, CodecFailure>(std::unexpect, CodecFailure{std::move(result.error())});
  return log_under_mfe_target(std::move(wrapped), log::Level::Error, context);
}

}  // namespace

std::optional<std::string> parse_beacon(codec::ByteView datagram) {
  auto header = logged(codec::mfe::parse_frame_header(datagram), "Failed to parse header");
  if (!header) return std::nullopt;
  // Only the number is read: the fields stay in the body's one buffer.
  auto body = logged(codec::mfe::decode_received_body(header->header, header->rest), "Failed to parse body");
  if (!body || !body->fields.num_session) return std::nullopt;
  return codec::format_session_number(*body->fields.num_session);
}

}  // namespace tavik::kovo_base::tcp
