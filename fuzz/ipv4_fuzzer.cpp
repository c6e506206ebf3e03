// Any text through the IPv4 parser, against the C library's strict
// dotted-decimal reader and against its own dotted rendering.
#include <arpa/inet.h>

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>

#include <fmt/format.h>

#include "fuzz_require.h"
#include "kovo_base/tcp/ipv4.h"

using tavik::fuzzing::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const auto parsed = tavik::kovo_base::tcp::parse_ipv4(text);

  // inet_pton reads a C string: an embedded NUL would cut the text short.
  if (text.find('\0') == std::string::npos) {
    in_addr reference{};
    const bool accepted = inet_pton(AF_INET, text.c_str(), &reference) == 1;
    require(accepted == parsed.has_value());
    if (accepted) require(std::memcmp(&reference, parsed->data(), 4) == 0);
  }
  if (!parsed) {
    require(parsed.error() == tavik::kovo_base::tcp::ipv4_parse_error_text);
    return 0;
  }
  const auto& a = *parsed;
  require(fmt::format("{}.{}.{}.{}", a[0], a[1], a[2], a[3]) == text);
  return 0;
}
