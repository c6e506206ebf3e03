// Any datagram through the beacon parser. A serial comes back only from a
// frame that decodes as an MFE frame with a session number, and it is that
// number in its six-digit form.
#include <cstddef>
#include <cstdint>

#include "codec/frame.h"
#include "fuzz_require.h"
#include "kovo_base/tcp/beacon.h"

using tavik::fuzzing::require;
namespace codec = tavik::codec;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const codec::ByteView datagram(data, size);
  const auto serial = tavik::kovo_base::tcp::parse_beacon(datagram);
  if (!serial) return 0;
  require(serial->size() >= 6);
  const auto parsed = codec::mfe::parse_frame_header(datagram);
  require(parsed.has_value());
  const auto body = codec::mfe::decode_frame_body(parsed->header, parsed->rest);
  require(body.has_value() && body->fields.num_session.has_value());
  require(*serial == codec::format_session_number(*body->fields.num_session));
  return 0;
}
