// A body built from the input is encoded, then parsed and decoded back; the
// result must equal it. Bodies are kept to what the wire can carry: valid
// UTF-8 elements without "|", SAT sessions not negative, MFE bodies with a
// session holding at least one element, and MFE bodies without one holding two
// or more, the first not a number.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "codec/decimal.h"
#include "codec/frame.h"
#include "codec/utf8.h"

namespace {

using namespace tavik::codec;

void require(bool condition) {
  if (!condition) std::abort();
}

std::vector<std::string> contents_from(FuzzedDataProvider& input) {
  std::vector<std::string> contents(input.ConsumeIntegralInRange<std::size_t>(0, 8));
  for (auto& element : contents) {
    std::string raw = input.ConsumeRandomLengthString(512);
    std::erase(raw, '|');
    detail::append_lossy_utf8(element, raw);
  }
  return contents;
}

template <class Body, class Parse, class Decode>
void round_trip(const Body& sent, bool compress, Bytes frame, Parse parse, Decode decode) {
  const auto parsed = parse(frame);
  require(parsed.has_value());
  require(parsed->header.code == sent.code && parsed->header.source == sent.source);
  require(parsed->header.compressed == compress);
  require(parsed->rest.size() == parsed->header.content_size);
  require(parsed->header.content_uncompressed_size == body_text(sent.fields).size());
  const auto received = decode(parsed->header, parsed->rest);
  require(received.has_value());
  require(*received == sent);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider input(data, size);
  const bool use_mfe = input.ConsumeBool();
  const bool compress = input.ConsumeBool();
  if (!use_mfe) {
    SatBody body;
    body.code = static_cast<SatFunction>(input.ConsumeIntegralInRange<int>(0, 15));
    body.source = input.ConsumeBool() ? Source::Application : Source::Lib;
    body.fields.num_session = input.ConsumeIntegralInRange<std::int32_t>(0, 2147483647);
    body.fields.contents = contents_from(input);
    auto frame = sat::encode_frame(body, compress);
    require(frame.has_value());
    round_trip(body, compress, std::move(*frame), sat::parse_frame_header, sat::decode_frame_body);
    return 0;
  }
  MfeBody body;
  body.code = static_cast<MfeMessageType>(input.ConsumeIntegralInRange<int>(0, 5));
  body.source = static_cast<Source>(input.ConsumeIntegralInRange<int>(0, 2));
  if (input.ConsumeBool()) body.fields.num_session = input.ConsumeIntegral<std::int32_t>();
  body.fields.contents = contents_from(input);
  if (body.fields.num_session && body.fields.contents.empty()) body.fields.contents.emplace_back();
  if (!body.fields.num_session) {
    while (body.fields.contents.size() < 2) body.fields.contents.emplace_back();
    if (detail::parse_i32(body.fields.contents.front())) body.fields.contents.front().insert(0, "n");
  }
  auto frame = mfe::encode_frame(body, compress);
  require(frame.has_value());
  round_trip(body, compress, std::move(*frame), mfe::parse_frame_header, mfe::decode_frame_body);
  return 0;
}
