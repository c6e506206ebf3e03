// Any bytes as a received SAT frame: header parser, then body decoder.
#include "frame_decoding.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tavik::codec;
  fuzzing::decode_any_frame(ByteView(data, size), sat::parse_frame_header, sat::decode_frame_body,
                             sat::decode_received_body);
  return 0;
}
