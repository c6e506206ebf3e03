// Any control-transfer reply through the string-descriptor decoding. A valid
// reply's payload decodes to UTF-8 that encodes back to the same UTF-16LE
// units, and its language ids are its 16-bit words.
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "codec/utf8.h"
#include "fuzz_require.h"
#include "kovo_base/usb/usb_strings.h"

using tavik::fuzzing::require;
namespace usb = tavik::kovo_base::usb;

namespace {

// UTF-8 (known valid) back to UTF-16LE bytes.
std::vector<std::uint8_t> to_utf16le(const std::string& text) {
  std::vector<std::uint8_t> out;
  const auto put = [&out](char32_t unit) {
    out.push_back(static_cast<std::uint8_t>(unit & 0xFF));
    out.push_back(static_cast<std::uint8_t>(unit >> 8));
  };
  for (std::size_t i = 0; i < text.size();) {
    const auto lead = static_cast<unsigned char>(text[i]);
    const std::size_t length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
    char32_t code = length == 1 ? lead : length == 2 ? (lead & 0x1F) : length == 3 ? (lead & 0x0F) : (lead & 0x07);
    for (std::size_t k = 1; k < length; ++k) code = (code << 6) | (static_cast<unsigned char>(text[i + k]) & 0x3F);
    i += length;
    if (code < 0x10000) {
      put(code);
    } else {
      code -= 0x10000;
      put(0xD800 + (code >> 10));
      put(0xDC00 + (code & 0x3FF));
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::span<const std::uint8_t> reply(data, size);
  const auto payload = usb::string_descriptor_payload(reply);
  if (payload) {
    require(size >= 2 && size % 2 == 0 && data[0] == size);
    require(payload->data() == data + 2 && payload->size() == size - 2);
    const auto ids = usb::language_ids(*payload);
    require(ids.size() == payload->size() / 2);
    for (std::size_t i = 0; i < ids.size(); ++i) require(ids[i] == (data[2 + 2 * i] | (data[3 + 2 * i] << 8)));
  }

  // The decoder also sees payloads of any length, as a defect elsewhere could hand it.
  const auto text = usb::decode_utf16le(reply);
  if (!text) return 0;
  require(size % 2 == 0);
  require(!tavik::codec::detail::find_utf8_error(*text));
  require(to_utf16le(*text) == std::vector<std::uint8_t>(reply.begin(), reply.end()));
  return 0;
}
